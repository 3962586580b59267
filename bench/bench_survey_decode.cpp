// Plan image decoding: the table decoder against the bit-by-bit tree walk
// and memcpy, on two kinds of plan image (24-bit bitmaps): a line drawing
// (mostly white, long runs of one byte) and a photograph-like image (smooth
// shading with grain, little redundancy per byte). Also the whole
// file-to-file Decompress.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "common/ByteOrder.h"
#include "survey/Compression.h"
#include "survey/PlanDecoder.h"
#include "survey/PlanEncoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes BitmapFile(int width, int height, const std::vector<std::array<std::uint8_t, 3>>& pixels) {
    const int stride = (width * 3 + 3) / 4 * 4;
    Bytes f(54 + static_cast<std::size_t>(stride) * height, 0);
    f[0] = 'B';
    f[1] = 'M';
    quorl::WriteLe32(&f[2], static_cast<std::uint32_t>(f.size()));
    quorl::WriteLe32(&f[10], 54);
    quorl::WriteLe32(&f[14], 40);
    quorl::WriteLe32(&f[18], static_cast<std::uint32_t>(width));
    quorl::WriteLe32(&f[22], static_cast<std::uint32_t>(height));
    quorl::WriteLe16(&f[26], 1);
    quorl::WriteLe16(&f[28], 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto& p = pixels[static_cast<std::size_t>(height - 1 - y) * width + x];
            std::uint8_t* d = &f[54 + static_cast<std::size_t>(y) * stride + 3 * x];
            d[0] = p[2];
            d[1] = p[1];
            d[2] = p[0];
        }
    return f;
}

// A floor plan: white paper, black walls, a grey grid of desks, pale room fills.
Bytes LineDrawing() {
    const int w = 2000, h = 1500;
    std::vector<std::array<std::uint8_t, 3>> px(static_cast<std::size_t>(w) * h, {255, 255, 255});
    auto fill = [&](int x0, int y0, int x1, int y1, std::array<std::uint8_t, 3> c) {
        for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(w, x1); ++x) px[static_cast<std::size_t>(y) * w + x] = c;
    };
    fill(300, 200, 900, 700, {235, 245, 255});
    fill(1100, 800, 1800, 1300, {255, 245, 225});
    for (int x = 100; x <= 1900; x += 300) fill(x, 100, x + 6, 1400, {0, 0, 0});
    for (int y = 100; y <= 1400; y += 260) fill(100, y, 1906, y + 6, {0, 0, 0});
    for (int y = 150; y < 1400; y += 60)
        for (int x = 150; x < 1900; x += 90) fill(x, y, x + 40, y + 2, {128, 128, 128});
    return BitmapFile(w, h, px);
}

// Smooth shading from a few octaves of value noise plus sensor grain.
Bytes Photograph() {
    const int w = 1600, h = 1200;
    std::mt19937 rng(42);
    std::vector<std::array<std::uint8_t, 3>> px(static_cast<std::size_t>(w) * h);
    std::vector<float> lattice(64 * 64 * 3);
    for (auto& v : lattice) v = std::uniform_real_distribution<float>(0, 1)(rng);
    auto noise = [&](float x, float y, int c) {
        const int xi = static_cast<int>(x), yi = static_cast<int>(y);
        const float fx = x - xi, fy = y - yi;
        auto at = [&](int i, int j) { return lattice[((j & 63) * 64 + (i & 63)) * 3 + c]; };
        const float a = at(xi, yi) + (at(xi + 1, yi) - at(xi, yi)) * fx;
        const float b = at(xi, yi + 1) + (at(xi + 1, yi + 1) - at(xi, yi + 1)) * fx;
        return a + (b - a) * fy;
    };
    std::normal_distribution<float> grain(0, 14);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                float v = 0, amp = 1, scale = 1.0f / 200;
                for (int o = 0; o < 4; ++o, amp /= 2, scale *= 2) v += amp * noise(x * scale, y * scale, c);
                v = v / 1.875f * 220 + 20 + grain(rng);
                px[static_cast<std::size_t>(y) * w + x][c] = static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f));
            }
    return BitmapFile(w, h, px);
}

struct Input {
    Bytes image;
    std::array<std::uint32_t, 256> weights;
    Bytes code;
};

const Input& Get(int which) {
    static const Input inputs[2] = {
        [] { Input in{LineDrawing(), {}, {}}; in.weights = quorl::ByteHistogram(in.image.data(), in.image.size());
             in.code = quorl::EncodeCodeBits(in.weights, in.image.data(), in.image.size()); return in; }(),
        [] { Input in{Photograph(), {}, {}}; in.weights = quorl::ByteHistogram(in.image.data(), in.image.size());
             in.code = quorl::EncodeCodeBits(in.weights, in.image.data(), in.image.size()); return in; }(),
    };
    return inputs[which];
}

const char* Name(int which) { return which == 0 ? "line drawing" : "photograph"; }

void BM_TableDecode(benchmark::State& state) {
    const Input& in = Get(static_cast<int>(state.range(0)));
    quorl::CCompression tree("", "");
    tree.SetWeights(in.weights);
    tree.BuildTree();
    Bytes out(in.image.size());
    for (auto _ : state) {
        quorl::PlanDecoder decoder(tree.Nodes(), tree.Root());
        const auto step = decoder.Decode(in.code.data(), in.code.size(), out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
        if (step.produced != in.image.size()) state.SkipWithError("short output");
    }
    if (out != in.image) state.SkipWithError("wrong output");
    state.SetLabel(Name(static_cast<int>(state.range(0))));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.image.size()));
    state.counters["code_bits_per_byte"] = 8.0 * in.code.size() / in.image.size();
}
BENCHMARK(BM_TableDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BitWalk(benchmark::State& state) {
    const Input& in = Get(static_cast<int>(state.range(0)));
    quorl::CCompression tree("", "");
    tree.SetWeights(in.weights);
    tree.BuildTree();
    Bytes out(in.image.size());
    for (auto _ : state) {
        tree.ResetDecodeState();
        std::size_t produced = 0;
        for (std::size_t i = 0; i < in.code.size() && produced < out.size(); ++i) {
            int remaining = 8;
            std::uint8_t symbol;
            while (remaining != 0 && produced < out.size())
                if (tree.DecodeBits(in.code[i], remaining, symbol)) out[produced++] = symbol;
        }
        benchmark::DoNotOptimize(out.data());
    }
    if (out != in.image) state.SkipWithError("wrong output");
    state.SetLabel(Name(static_cast<int>(state.range(0))));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.image.size()));
}
BENCHMARK(BM_BitWalk)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
    const Input& in = Get(static_cast<int>(state.range(0)));
    Bytes out(in.image.size());
    for (auto _ : state) {
        std::memcpy(out.data(), in.image.data(), out.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(Name(static_cast<int>(state.range(0))));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.image.size()));
}
BENCHMARK(BM_Memcpy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// File to file through the page cache, as a projection load runs it.
void BM_DecompressFile(benchmark::State& state) {
    const Input& in = Get(static_cast<int>(state.range(0)));
    const std::string source = "/tmp/quorl-bench-decode.c";
    const std::string destination = "/tmp/quorl-bench-decode.b";
    {
        const Bytes block = quorl::AssemblePlanBlock(static_cast<std::uint32_t>(in.image.size()), in.weights, in.code);
        std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(block.data()),
                                                      static_cast<std::streamsize>(block.size()));
    }
    for (auto _ : state) {
        // A load decodes into a new file; truncating an old one costs extra.
        state.PauseTiming();
        std::remove(destination.c_str());
        state.ResumeTiming();
        quorl::CCompression c(source, destination);
        const auto r = c.Decompress();
        if (!r.ok) state.SkipWithError("decompress failed");
    }
    std::remove(source.c_str());
    std::remove(destination.c_str());
    state.SetLabel(Name(static_cast<int>(state.range(0))));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.image.size()));
}
BENCHMARK(BM_DecompressFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
