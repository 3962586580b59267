#pragma once
// What File > Open does with the file the user picked, by its name: a
// projection shows its plan, a collection opens for the plan shown, a site
// offers its floors.

#include <string>

namespace quorl {

enum class FileKind { Projection, Collection, Site, Unknown };

// By the extension, in any case: .lpf and .gpf, .ssd, .qsite.
FileKind KindOfFile(const std::string& path);

// The File > Open dialog's filter: every kind the collector opens first.
inline constexpr const char* kOpenFilter =
    "Survey Files (*.lpf;*.gpf;*.ssd;*.qsite)|*.lpf;*.gpf;*.ssd;*.qsite|"
    "Projection Files (*.lpf;*.gpf)|*.lpf;*.gpf|Collection Files (*.ssd)|*.ssd|"
    "Site Files (*.qsite)|*.qsite|All Files (*.*)|*.*||";

// The message for a file of none of these kinds.
std::string UnknownFileText(const std::string& path);

}  // namespace quorl
