// Draws the demo site's plan: the floor of a small office, 800 x 600, as a
// 24-bit bitmap file. Walls, rooms with tinted floors, doors with their
// swing, furniture and room labels. Run at build time:
//   quorl_draw_floor_plan OUT.bmp

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb kPaper{255, 255, 255};
constexpr Rgb kWall{30, 30, 30};
constexpr Rgb kFurniture{150, 150, 150};
constexpr Rgb kText{60, 60, 90};

class Canvas {
public:
    Canvas() : pixels_(static_cast<std::size_t>(kWidth) * kHeight, kPaper) {}

    void Set(int x, int y, Rgb c) {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels_[static_cast<std::size_t>(y) * kWidth + x] = c;
    }
    void Fill(int x0, int y0, int x1, int y1, Rgb c) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) Set(x, y, c);
    }
    void Frame(int x0, int y0, int x1, int y1, Rgb c) {
        Fill(x0, y0, x1, y0 + 1, c);
        Fill(x0, y1 - 1, x1, y1, c);
        Fill(x0, y0, x0 + 1, y1, c);
        Fill(x1 - 1, y0, x1, y1, c);
    }
    // A quarter circle: the swing of a door hinged at (hx, hy).
    void Arc(int hx, int hy, int radius, int quadrantX, int quadrantY, Rgb c) {
        for (int a = 0; a <= 90 * 4; ++a) {
            const double t = a / 4.0 * M_PI / 180.0;
            Set(hx + quadrantX * static_cast<int>(std::lround(radius * std::cos(t))),
                hy + quadrantY * static_cast<int>(std::lround(radius * std::sin(t))), c);
        }
    }
    void Ellipse(int cx, int cy, int rx, int ry, Rgb c) {
        for (int y = -ry; y <= ry; ++y)
            for (int x = -rx; x <= rx; ++x)
                if (double(x) * x / (double(rx) * rx) + double(y) * y / (double(ry) * ry) <= 1.0) Set(cx + x, cy + y, c);
    }
    void Text(int cx, int cy, const std::string& text, Rgb c);

    bool Save(const char* path) const;

private:
    std::vector<Rgb> pixels_;
};

// 5 x 7 capitals and digits, one row per byte, bit 4 the leftmost column.
struct Glyph {
    char ch;
    std::array<std::uint8_t, 7> rows;
};
constexpr Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
};

void Canvas::Text(int cx, int cy, const std::string& text, Rgb c) {
    constexpr int scale = 2, advance = 6 * scale;
    int x = cx - static_cast<int>(text.size()) * advance / 2;
    const int y = cy - 7 * scale / 2;
    for (char ch : text) {
        for (const Glyph& g : kFont) {
            if (g.ch != ch) continue;
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g.rows[row] & (0x10 >> col)) Fill(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, c);
        }
        x += advance;
    }
}

bool Canvas::Save(const char* path) const {
    const int stride = kWidth * 3;  // 2400: already a multiple of 4
    const std::uint32_t dataSize = static_cast<std::uint32_t>(stride) * kHeight;
    std::vector<std::uint8_t> f(54 + dataSize, 0);
    auto le32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    le32(2, static_cast<std::uint32_t>(f.size()));
    le32(10, 54);
    le32(14, 40);
    le32(18, kWidth);
    le32(22, kHeight);  // bottom-up rows
    f[26] = 1;
    f[28] = 24;
    le32(34, dataSize);
    le32(38, 2835);  // 72 dots per inch
    le32(42, 2835);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Rgb& p = pixels_[static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x];
            std::uint8_t* d = &f[54 + static_cast<std::size_t>(y) * stride + 3 * x];
            d[0] = p.b;
            d[1] = p.g;
            d[2] = p.r;
        }
    std::FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    const bool ok = std::fwrite(f.data(), 1, f.size(), out) == f.size();
    return std::fclose(out) == 0 && ok;
}

void Draw(Canvas& c) {
    // Floors.
    c.Fill(20, 20, 220, 260, {236, 244, 255});   // office 1
    c.Fill(220, 20, 400, 260, {236, 244, 255});  // office 2
    c.Fill(400, 20, 620, 260, {255, 246, 230});  // meeting room
    c.Fill(620, 20, 780, 260, {240, 255, 236});  // kitchen
    c.Fill(20, 260, 780, 320, {245, 245, 245});  // corridor
    c.Fill(20, 320, 540, 580, {250, 250, 240});  // open office
    c.Fill(540, 320, 780, 580, {255, 240, 240}); // reception
    c.Fill(660, 320, 780, 420, {232, 232, 232}); // server room

    // Walls: outer 6 px, inner 4 px, doors as gaps.
    const int outer = 6, inner = 4;
    c.Fill(20, 20, 780, 20 + outer, kWall);
    c.Fill(20, 580 - outer, 780, 580, kWall);
    c.Fill(20, 20, 20 + outer, 580, kWall);
    c.Fill(780 - outer, 20, 780, 580, kWall);
    c.Fill(700, 580 - outer, 750, 580, kPaper);  // main entrance
    for (int x : {220, 400, 620}) c.Fill(x - inner / 2, 20, x + inner / 2, 260, kWall);
    c.Fill(540 - inner / 2, 320, 540 + inner / 2, 580, kWall);
    c.Fill(660 - inner / 2, 320, 660 + inner / 2, 420, kWall);
    c.Fill(660, 420 - inner / 2, 780, 420 + inner / 2, kWall);
    c.Fill(20, 260 - inner / 2, 780, 260 + inner / 2, kWall);
    c.Fill(20, 320 - inner / 2, 780, 320 + inner / 2, kWall);

    // Doors: a gap in the wall and the leaf's swing into the room.
    auto doorNorth = [&](int x) {  // from the corridor into a top room
        c.Fill(x, 258, x + 36, 262, {245, 245, 245});
        c.Fill(x, 224, x + 2, 258, kWall);
        c.Arc(x, 258, 34, 1, -1, kWall);
    };
    for (int x : {150, 330, 570, 700}) doorNorth(x);
    c.Fill(120, 318, 170, 322, {245, 245, 245});  // open office: wide opening
    c.Fill(580, 318, 616, 322, {245, 245, 245});  // reception
    c.Fill(580, 322, 582, 356, kWall);
    c.Arc(580, 322, 34, 1, 1, kWall);
    c.Fill(658, 360, 662, 396, {232, 232, 232});  // server room, from reception
    c.Arc(662, 360, 34, -1, 1, kWall);
    c.Fill(538, 480, 542, 516, {250, 250, 240});  // open office to reception
    c.Arc(540, 480, 34, 1, 1, kWall);

    // Furniture.
    c.Fill(50, 60, 150, 100, kFurniture);  // office 1 desk
    c.Frame(50, 60, 150, 100, kWall);
    c.Fill(250, 60, 350, 100, kFurniture);  // office 2 desk
    c.Frame(250, 60, 350, 100, kWall);
    c.Ellipse(510, 140, 70, 40, kFurniture);  // meeting table
    for (int i = 0; i < 6; ++i) c.Ellipse(460 + i * 20, 88, 6, 6, kWall);
    for (int i = 0; i < 6; ++i) c.Ellipse(460 + i * 20, 192, 6, 6, kWall);
    c.Fill(630, 30, 770, 60, kFurniture);  // kitchen counter
    c.Frame(630, 30, 770, 60, kWall);
    for (int row = 0; row < 3; ++row)        // open office desks
        for (int col = 0; col < 4; ++col) {
            const int x = 60 + col * 115, y = 360 + row * 70;
            c.Fill(x, y, x + 80, y + 36, kFurniture);
            c.Frame(x, y, x + 80, y + 36, kWall);
        }
    c.Fill(580, 480, 700, 520, kFurniture);  // reception desk
    c.Frame(580, 480, 700, 520, kWall);
    for (int i = 0; i < 3; ++i) c.Frame(680 + i * 30, 335, 700 + i * 30, 385, kWall);  // racks

    // Labels.
    c.Text(120, 180, "OFFICE 1", kText);
    c.Text(310, 180, "OFFICE 2", kText);
    c.Text(510, 235, "MEETING", kText);
    c.Text(700, 150, "KITCHEN", kText);
    c.Text(400, 290, "CORRIDOR", kText);
    c.Text(280, 560, "OPEN OFFICE", kText);
    c.Text(630, 450, "RECEPTION", kText);
    c.Text(720, 402, "SERVER", kText);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.bmp\n", argv[0]);
        return 2;
    }
    Canvas canvas;
    Draw(canvas);
    if (!canvas.Save(argv[1])) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1], std::strerror(errno));
        return 1;
    }
    return 0;
}
