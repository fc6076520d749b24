#pragma once
// Names and texts from outside (file names, paths, port names, texts read from files) made fit
// for a terminal or a window title. A crafted file name can otherwise carry escape sequences that
// retitle or clear a terminal, a newline that forges a line of output, or a bidirectional
// override that shows "evil\u202etxt.exe" as "evilexe.txt". Each such character becomes a
// visible escape; all other text, Cyrillic included, stays as it is.
//
//   C0 controls and DEL        \x1b  \x0a  \x7f
//   C1 controls (U+0080-009F)  \u0085
//   bidirectional marks        \u202e  (U+200E, U+200F, U+061C, U+202A-202E, U+2066-2069)
//   line/paragraph separators  \u2028  \u2029
//   bytes that are not UTF-8   \xff    (each byte of a broken sequence)
//   a backslash                \\      (so that an escape in the output is never the name's own)

#include <QString>
#include <string>

// The UTF-8 (or not) bytes of a name as printable UTF-8.
std::string PrintableName(const std::string& name);

// The same for a text held as UTF-16 (a window title, a Qt path); a lone surrogate becomes
// \udxxx.
QString PrintableName(const QString& name);
