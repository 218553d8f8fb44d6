// The text of an XML data file, as the material and scene readers hand it to TinyXML.
#pragma once

#include <string>
#include <vector>

namespace tincrates {

// TinyXML steps over a UTF-8 sequence in one go, as many bytes as its lead byte announces (at
// most 4), without looking at the bytes in between; a text that ends inside a sequence would
// have it step past the terminator. This many zero bytes after the text always stop it.
constexpr size_t xmlTextZeroBytes = 4;

// The named data file's bytes followed by xmlTextZeroBytes zero bytes, ready for
// TiXmlDocument::Parse. Throws "File not found", with the archive's reason on a further line
// when the archive is there but could not deliver the file.
std::vector<char> readXmlText(const std::string& name);

// TinyXML descends recursively, in its parser and in its destructors, so a hostile text nested
// many thousands of levels deep would exhaust the stack; readers refuse a text nested deeper
// than they need before parsing it.
//
// The line on which the text first nests elements deeper than `limit`, or 0 when it never
// does. Counts without parsing: every "<" that opens a tag other than a closing, processing,
// declaration or comment tag goes a level down, "</" a level up, and an opening tag ending
// in "/>" comes straight back. Comments, CDATA and quoted attribute values are skipped, so that
// a "<" or "/>" inside them is not counted.
int lineBeyondNestingLimit(const char* text, int limit);

} // namespace tincrates
