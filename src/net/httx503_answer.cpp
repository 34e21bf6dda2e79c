#include "net/httx503_answer.h"

#include <tinyxml2.h>

#include <chrono>
#include <cstring>

namespace NetEx {

namespace {

using tinyxml2::XMLAttribute;
using tinyxml2::XMLElement;
using tinyxml2::XMLNode;

// The last year the Windows date conversions accept.
constexpr int kLastYear = 30827;

bool hasClass(const XMLElement& element, const char* name) {
    const char* value = element.Attribute("class");
    return value != nullptr && std::strcmp(value, name) == 0;
}

std::string textOf(const XMLElement& element) {
    const char* text = element.GetText();
    return text != nullptr ? text : "";
}

int numberOf(const XMLElement& element) {
    int value = 0;
    if (element.QueryIntText(&value) != tinyxml2::XML_SUCCESS)
        return 0;
    return value;
}

// Reads the time block and the wanted language block of a maintenance page;
// every other element is only walked through.
class C503Visitor : public tinyxml2::XMLVisitor {
public:
    explicit C503Visitor(const char* id) : wantedId(id) {}

    bool VisitEnter(const XMLElement& element, const XMLAttribute* firstAttribute) override {
        if (std::strcmp(element.Name(), "div") != 0 || firstAttribute == nullptr ||
            std::strcmp(firstAttribute->Name(), "id") != 0)
            return true;
        if (std::strcmp(firstAttribute->Value(), "time") == 0) {
            readTime(element);
            return false;
        }
        if (std::strcmp(firstAttribute->Value(), wantedId) == 0) {
            readTexts(element);
            return false;
        }
        return true;
    }

    const char* wantedId;
    uint64_t endTime = 0;
    std::string title;
    std::string line1;
    std::string line2;
    bool timeMarked = false;
    // Where in line2 the time goes; a position, not a marker in the text, so
    // the page's own text is never taken as a format.
    size_t timePosition = 0;

private:
    void readTime(const XMLElement& block) {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0;
        for (const XMLElement* part = block.FirstChildElement(); part != nullptr;
             part = part->NextSiblingElement()) {
            if (hasClass(*part, "year"))
                year = numberOf(*part);
            else if (hasClass(*part, "month"))
                month = numberOf(*part);
            else if (hasClass(*part, "day"))
                day = numberOf(*part);
            else if (hasClass(*part, "hour"))
                hour = numberOf(*part);
            else if (hasClass(*part, "minute"))
                minute = numberOf(*part);
        }
        endTime = UtcToUnixMs(year, month, day, hour, minute);
    }

    void readTexts(const XMLElement& block) {
        for (const XMLElement* part = block.FirstChildElement(); part != nullptr;
             part = part->NextSiblingElement()) {
            if (hasClass(*part, "title"))
                title = textOf(*part);
            else if (hasClass(*part, "line1"))
                line1 = textOf(*part);
            else if (hasClass(*part, "line2"))
                readLine2(*part);
        }
    }

    void readLine2(const XMLElement& line) {
        for (const XMLNode* node = line.FirstChild(); node != nullptr; node = node->NextSibling()) {
            if (node->ToText() != nullptr) {
                line2 += node->Value();
            } else if (const XMLElement* element = node->ToElement();
                       element != nullptr && !timeMarked && hasClass(*element, "time")) {
                timeMarked = true;
                timePosition = line2.size();
            }
        }
    }
};

// Only the no-break space (UTF-8 C2 A0) becomes blanks, two as its two bytes;
// the bytes C2 and A0 inside other characters stay.
void replaceNoBreakSpaces(std::string& text) {
    for (size_t at = text.find("\xC2\xA0"); at != std::string::npos;
         at = text.find("\xC2\xA0", at + 2))
        text.replace(at, 2, "  ");
}

} // namespace

uint64_t UtcToUnixMs(int year, int month, int day, int hour, int minute) {
    using namespace std::chrono;
    if (year < 1970 || year > kLastYear || month < 1 || month > 12 || day < 1 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59)
        return 0;
    const year_month_day date{std::chrono::year{year},
                              std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok())
        return 0;
    const sys_time<milliseconds> moment =
        sys_days{date} + std::chrono::hours{hour} + std::chrono::minutes{minute};
    return static_cast<uint64_t>(moment.time_since_epoch().count());
}

bool ParseHttx503Answer(const char* answer, const char* wantedId, uint64_t nowMs,
                        const C503TimeFormatter& formatTime, std::string& title, std::string& text,
                        bool& hasTime) {
    if (answer == nullptr || *answer == '\0' || wantedId == nullptr || *wantedId == '\0')
        return false;
    tinyxml2::XMLDocument doc;
    if (doc.Parse(answer) != tinyxml2::XML_SUCCESS)
        return false;
    C503Visitor visitor(wantedId);
    doc.Accept(&visitor);
    if (visitor.title.empty() || visitor.line1.empty())
        return false;
    std::string formatted;
    const bool withTime = visitor.timeMarked && visitor.endTime > nowMs;
    if (withTime && (!formatTime || !formatTime(visitor.endTime, formatted)))
        return false;
    title = visitor.title;
    text = visitor.line1;
    hasTime = withTime;
    if (withTime) {
        std::string& line2 = visitor.line2;
        text += "\n\n";
        text.append(line2, 0, visitor.timePosition);
        text += formatted;
        text.append(line2, visitor.timePosition, std::string::npos);
        replaceNoBreakSpaces(text);
    }
    return true;
}

} // namespace NetEx
