#include "tests/e2e/window_driver.h"

bool WindowDriver::IsTimedEntry(const std::string& entry) {
    constexpr std::size_t TimeLength = 9;
    if (entry.size() < TimeLength || entry[2] != ':' || entry[5] != ':' || entry[8] != ' ') {
        return false;
    }
    for (const std::size_t digit : {0, 1, 3, 4, 6, 7}) {
        if (entry[digit] < '0' || entry[digit] > '9') {
            return false;
        }
    }
    return true;
}

std::vector<std::string> WindowDriver::LoggedTexts() const {
    std::vector<std::string> texts;
    for (const std::string& entry : Entries()) {
        if (IsTimedEntry(entry)) {
            texts.push_back(entry.substr(9));
        }
    }
    return texts;
}

std::optional<std::size_t>
WindowDriver::FindLogged(const std::function<bool(const std::string&)>& match,
                         std::size_t from) const {
    const std::vector<std::string> texts = LoggedTexts();
    for (std::size_t index = from; index < texts.size(); ++index) {
        if (match(texts[index])) {
            return index;
        }
    }
    return std::nullopt;
}
