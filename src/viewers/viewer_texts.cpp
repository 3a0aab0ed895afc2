#include "viewers/viewer_texts.h"

#include <array>

namespace varnoke {

std::string filterPrompt(bool reallyFancy) {
    const std::array<std::string_view, 13> lines = {
        "Enter FieldName =, <>, <, <=, >, >= Criteria. ",
        "- Enclose the Criteria of TEXT fields in DOUBLE quotes.",
        "- Enclose the Criteria of DATE fields in NUMBER signs.",
        "",
        "Use 'and' or 'or' to create combined criterias.",
        "Example: CustName = ''KorvathEnterprises'' and OrderDate >= #8/7/00# or moneyEarned "
        "< 100000.00",
        "",
        reallyFancy ? "Use the 'like' and/or 'between' operators to really get fancy."
                    : "Use the 'like' and/or 'between' operators to get fancy.",
        "Example: custname like ''korv*'' or OrDeRiD <> 123",
        "Example: orderDATE between #1/16/99# And #11/3/00# OR cashFlow >= 100",
        "Example: custName not like ''Kor*'' or orderID between 101 and 201",
        "",
        "READ A BOOK ON FILTERING!  Laugh.",
    };
    std::string prompt;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) prompt += "\r\n";
        prompt += lines[i];
    }
    return prompt;
}

std::string counterText(long position, long count) {
    return "Record: " + std::to_string(position + 1) + " of " + std::to_string(count);
}

std::string localQueryCaption(std::string_view queryName, std::string_view statement) {
    if (!queryName.empty()) return "Local Query - " + std::string(queryName);
    // Characters, not bytes: a cut never splits a letter written in several bytes.
    std::size_t end = 0;
    for (int chars = 0; end < statement.size() && chars < 32; ++chars) {
        ++end;
        while (end < statement.size() &&
               (static_cast<unsigned char>(statement[end]) & 0xC0) == 0x80)
            ++end;
    }
    return "Local Query - " + std::string(statement.substr(0, end));
}

} // namespace varnoke
