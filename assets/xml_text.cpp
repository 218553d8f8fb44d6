// The text of an XML data file, padded so that the parser cannot read past its end.
#include "assets/xml_text.h"

#include "datafiles/data_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace tincrates {

std::vector<char> readXmlText(const std::string& name)
{
    std::string archiveProblem;
    std::unique_ptr<DataFile, int (*)(DataFile*)> file(
        openDataFile(name.c_str(), &archiveProblem), closeDataFile);
    if (!file)
        throw notFoundMessage("File not found", archiveProblem);
    std::vector<char> text(size_t(file->size) + xmlTextZeroBytes, '\0');
    readDataFile(text.data(), 1, file->size, file.get());
    return text;
}

int lineBeyondNestingLimit(const char* text, int limit)
{
    int depth = 0;
    int line = 1;
    auto skipPast = [&](const char*& p, const char* end) {
        const char* found = std::strstr(p, end);
        const char* stop = found ? found + std::strlen(end) : p + std::strlen(p);
        line += int(std::count(p, stop, '\n'));
        p = stop;
    };
    const char* p = text;
    while (*p) {
        if (*p != '<') {
            line += *p == '\n';
            ++p;
        } else if (std::strncmp(p, "<!--", 4) == 0) {
            skipPast(p, "-->");
        } else if (std::strncmp(p, "<![CDATA[", 9) == 0) {
            skipPast(p, "]]>");
        } else if (p[1] == '?' || p[1] == '!') {
            skipPast(p, ">");
        } else if (p[1] == '/') {
            --depth;
            skipPast(p, ">");
        } else {
            char quote = 0;
            const char* q = p + 1;
            for (; *q; ++q) {
                line += *q == '\n';
                if (quote) {
                    if (*q == quote)
                        quote = 0;
                } else if (*q == '"' || *q == '\'') {
                    quote = *q;
                } else if (*q == '>') {
                    break;
                }
            }
            bool isEmptyElement = *q == '>' && q[-1] == '/';
            if (!isEmptyElement && ++depth > limit)
                return line;
            p = *q ? q + 1 : q;
        }
    }
    return 0;
}

} // namespace tincrates
