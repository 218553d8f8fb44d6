// Reading and writing the sync editor's document with TinyXML.
#include "sync/tracks_file.h"

#include "assets/xml_text.h"

#include <tinyxml.h>

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace tincrates {

namespace {

// The document has four levels; deeper nesting is refused before TinyXML, which recurses,
// sees it.
constexpr int maximumNestingDepth = 64;

[[noreturn]] void throwAtLine(int line, const std::string& what)
{
    throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}


// The line of the first byte that does not belong to a UTF-8 sequence of the right length,
// or 0 when there is none. TinyXML steps over a sequence by its lead byte alone, so a broken
// one would swallow the markup after it.
int lineOfBrokenUtf8(std::string_view text)
{
    int line = 1;
    for (size_t at = 0; at < text.size();) {
        auto byte = uint8_t(text[at]);
        size_t length = byte < 0x80 ? 1 : byte >= 0xc2 && byte <= 0xdf ? 2
            : byte >= 0xe0 && byte <= 0xef ? 3 : byte >= 0xf0 && byte <= 0xf4 ? 4 : 0;
        if (length == 0 || at + length > text.size())
            return line;
        for (size_t i = 1; i < length; ++i)
            if ((uint8_t(text[at + i]) & 0xc0) != 0x80)
                return line;
        line += byte == '\n';
        at += length;
    }
    return 0;
}

bool isElement(const TiXmlNode* node, const char* name)
{
    return node->Type() == TiXmlNode::TINYXML_ELEMENT && std::strcmp(node->Value(), name) == 0;
}

const char* requiredAttribute(const TiXmlElement& element, const char* name)
{
    const char* text = element.Attribute(name);
    if (!text)
        throwAtLine(element.Row(), "<" + std::string(element.Value()) + "> without " + name);
    return text;
}

// The whole attribute as a number of type T, or nothing when it is not one (or holds more).
template <typename T>
std::optional<T> wholeNumber(const char* text)
{
    const char* end = text + std::strlen(text);
    T value{};
    auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// The whole attribute as a decimal number, as std::from_chars reads one (which not every C++
// library this builds with can do for floats): an optional minus, digits with an optional
// point and exponent; no blanks, no plus sign, no hexadecimal. Nothing when it is not one; a
// number beyond what a float holds reads as infinite, one too small for it as the nearest.
std::optional<float> decimalNumber(const char* text)
{
    const char* digits = text + (*text == '-');
    if (!(std::isdigit(static_cast<unsigned char>(*digits)) || *digits == '.')
        || (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')))
        return std::nullopt;
    char* end = nullptr;
    float value = std::strtof(text, &end);
    if (end == text || *end)
        return std::nullopt;
    return value;
}

uint32_t readRow(const TiXmlElement& element, const char* name)
{
    const char* text = requiredAttribute(element, name);
    std::optional<uint64_t> row = wholeNumber<uint64_t>(text);
    if (!row || *row > 2147483647)
        throwAtLine(element.Row(), std::string(name) + " \"" + text
                                       + "\" is not a whole number in 0..2147483647");
    return uint32_t(*row);
}

SyncKey readKey(const TiXmlElement& element)
{
    SyncKey key;
    key.row = readRow(element, "row");
    const char* valueText = requiredAttribute(element, "value");
    const char* interpolationText = requiredAttribute(element, "interpolation");
    std::optional<float> value = decimalNumber(valueText);
    if (!value || !std::isfinite(*value))
        throwAtLine(element.Row(),
                    "value \"" + std::string(valueText) + "\" is not a finite number");
    key.value = *value;
    std::optional<unsigned> interpolation = wholeNumber<unsigned>(interpolationText);
    if (!interpolation || *interpolation > 3)
        throwAtLine(element.Row(), "interpolation \"" + std::string(interpolationText)
                                       + "\" is not one of 0..3");
    key.interpolation = KeyInterpolation(*interpolation);
    return key;
}

void readTrack(const TiXmlElement& element, TracksDocument& document)
{
    const char* name = element.Attribute("name");
    if (!name || !*name)
        throwAtLine(element.Row(), "<track> without a name");
    auto track = std::find_if(document.tracks.begin(), document.tracks.end(),
                              [&](const SyncTrack& t) { return t.name() == name; });
    if (track == document.tracks.end())
        track = document.tracks.insert(track, SyncTrack(name));
    for (const TiXmlNode* child = element.FirstChild(); child; child = child->NextSibling())
        if (isElement(child, "key"))
            track->setKey(readKey(*child->ToElement()));
}

void appendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // Control characters as references, since the parser would turn a raw line break
            // of another kind into "\n".
            if (uint8_t(c) < 0x20) {
                out += "&#x";
                out += "0123456789ABCDEF"[uint8_t(c) >> 4];
                out += "0123456789ABCDEF"[c & 15];
                out += ';';
            } else {
                out += c;
            }
        }
    }
}

// The shortest text that reads back as the same float: never more than nine significant
// digits, where the editor's eight would move some values by a float step.
void appendValue(std::string& out, float value)
{
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, double(value));
        if (std::strtof(text, nullptr) == value)
            break;
    }
    // "%g" writes 60 with one digit as "6e+01"; a whole number below 10^9 reads better, and
    // shorter, written out.
    if (const char* e = std::strchr(text, 'e')) {
        int exponent = std::atoi(e + 1);
        char plain[32];
        if (exponent >= 0 && exponent < 9) {
            std::snprintf(plain, sizeof plain, "%.*g", exponent + 1, double(value));
            if (std::strtof(plain, nullptr) == value && std::strlen(plain) <= std::strlen(text))
                std::strcpy(text, plain);
        }
    }
    out += text;
}

} // namespace

TracksDocument readTracksDocument(std::string_view text)
{
    // TinyXML reads a C string: a NUL byte inside would end the document early, unseen.
    if (size_t nul = text.find('\0'); nul != std::string_view::npos)
        throwAtLine(1 + int(std::count(text.begin(), text.begin() + std::ptrdiff_t(nul), '\n')),
                    "NUL character");
    if (int line = lineOfBrokenUtf8(text))
        throwAtLine(line, "not UTF-8");
    std::string terminated(text);
    terminated.append(xmlTextZeroBytes, '\0');
    if (int line = lineBeyondNestingLimit(terminated.c_str(), maximumNestingDepth))
        throwAtLine(line, "elements nested too deeply");

    TiXmlDocument xml;
    xml.Parse(terminated.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (xml.Error())
        throwAtLine(std::max(xml.ErrorRow(), 1), xml.ErrorDesc() ? xml.ErrorDesc() : "not well-formed");
    const TiXmlElement* root = xml.RootElement();
    if (!root)
        throwAtLine(1, "no <sync> element");
    if (std::strcmp(root->Value(), "sync") != 0)
        throwAtLine(root->Row(), "<" + std::string(root->Value()) + "> where <sync> belongs");

    TracksDocument document;
    document.rows = root->Attribute("rows") ? readRow(*root, "rows")
                                            : TracksDocument::newDocumentRows;
    for (const TiXmlNode* child = root->FirstChild(); child; child = child->NextSibling()) {
        if (!isElement(child, "tracks"))
            continue;
        for (const TiXmlNode* track = child->FirstChild(); track; track = track->NextSibling())
            if (isElement(track, "track"))
                readTrack(*track->ToElement(), document);
    }
    return document;
}

std::string writeTracksDocument(std::span<const SyncTrack> tracks, uint32_t rows)
{
    std::string out = "<sync rows=\"" + std::to_string(rows) + "\">\n\t<tracks>\n";
    for (const SyncTrack& track : tracks) {
        out += "\t\t<track name=\"";
        appendEscaped(out, track.name());
        if (!track.hasKeys()) {
            out += "\"/>\n";
            continue;
        }
        out += "\">\n";
        for (const SyncKey& key : track.keys()) {
            out += "\t\t\t<key row=\"" + std::to_string(key.row) + "\" value=\"";
            appendValue(out, key.value);
            out += "\" interpolation=\"" + std::to_string(unsigned(key.interpolation)) + "\"/>\n";
        }
        out += "\t\t</track>\n";
    }
    out += "\t</tracks>\n</sync>\n";
    return out;
}

} // namespace tincrates
