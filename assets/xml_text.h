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

} // namespace tincrates
