#pragma once
// File dialog filters: the core writes them in the "Name (*.ext)|*.ext|...||"
// form; Qt's file dialog wants "Name (*.ext);;...".

#include <string>

namespace quorl {

// Each name|patterns pair becomes one Qt filter whose parenthesised part
// lists the patterns (";" separated in the source, blank separated in Qt);
// "*.*" becomes "*" so that it matches names without a dot too. A name that
// already ends in a parenthesised list has it replaced. A missing patterns
// part or empty pairs are skipped.
std::string ToQtFileFilter(const std::string& filter);

}  // namespace quorl
