// What to do with a file that other programs may share.
#include "rules/SharedFileRules.h"
#include "base/Text.h"

SharedFileDecision DecideSharedFile(bool found, unsigned long type, const unsigned char* data,
                                    size_t size)
{
    SharedFileDecision decision;
    if (!found) return decision;
    if ((type != kCountTypeDword && type != kCountTypeBinary) || size != 4 || data == nullptr) {
        decision.action = SharedFileAction::kKeep;
        decision.rule = RefusalRule::kUnreadableShareCount;
        return decision;
    }
    uint32_t count = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                     static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    if (count <= 1) {
        decision.action = SharedFileAction::kDeleteAndForget;
        return decision;
    }
    decision.action = SharedFileAction::kKeepAndRelease;
    decision.newCount = count - 1;
    decision.rule = RefusalRule::kSharedFile;
    return decision;
}

RefusalRule CheckFileCompany(const std::string& company)
{
    size_t start = company.find_first_not_of(" \t");
    if (start == std::string::npos) return RefusalRule::kNone;
    size_t end = company.find_last_not_of(" \t") + 1;
    const std::string name = UpperAscii(company.substr(start, end - start));
    if (name == "MORWA" || name.compare(0, 14, "MORWA SOFTWARE") == 0) return RefusalRule::kNone;
    return RefusalRule::kOtherCompany;
}

bool HasProductsName(const std::string& fullPath)
{
    const size_t slash = fullPath.find_last_of("\\/");
    const std::string name = UpperAscii(fullPath.substr(slash == std::string::npos ? 0 : slash + 1));
    return name.compare(0, 3, "QEL") == 0;
}

namespace {

void AddName(std::vector<std::string>& names, const std::string& name)
{
    if (name.empty()) return;
    for (const std::string& earlier : names)
        if (UpperAscii(earlier) == UpperAscii(name)) return;
    names.push_back(name);
}

}  // namespace

std::vector<std::string> SharedFileNames(const std::string& path, const std::string& longForm,
                                         const std::string& shortForm)
{
    std::vector<std::string> names;
    AddName(names, path);
    AddName(names, longForm);
    AddName(names, shortForm);
    return names;
}
