// quorl: the collector's command-line companion.

#include <string>
#include <vector>

#include "tools/CommandRegistry.h"

int main(int argc, char** argv) {
    return quorl::tools::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
}
