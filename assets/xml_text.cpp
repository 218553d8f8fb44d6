// The text of an XML data file, padded so that the parser cannot read past its end.
#include "assets/xml_text.h"

#include "datafiles/data_file.h"

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

} // namespace tincrates
