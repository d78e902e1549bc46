#pragma once
// SVG text pieces shared by the drawing writer.

#include <string>
#include <string_view>

namespace korvane {

// The three head lines of every picture (XML declaration, SVG 1.1 DOCTYPE, svg start tag),
// joined by line feeds, without a final line end.
std::string svgHeader();

// SVG colour text, double quotes included, for a colour name compared exactly ("White" gives
// "\"rgb(255,255,255)\""); unknown names give black.
std::string colorValue(std::string_view name);

// Text made safe for an SVG element: &, <, > and " become entities, characters XML cannot carry
// (control characters other than tab, line feed and carriage return, bytes that are not UTF-8)
// become '?'.
std::string escapeSvgText(std::string_view text);

}  // namespace korvane
