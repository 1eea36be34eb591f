#include "ScriptedMCardApi.h"

#include "platform/DriverUnavailable.h"

namespace orvex::test {

std::optional<ScriptedMCardApi::Answer> ScriptedMCardApi::enter(const std::string& function,
                                                                std::vector<int64_t> numbers,
                                                                std::string text) {
    calls.push_back({function, std::move(numbers), std::move(text)});
    auto& queue = scripts_[function];
    if (queue.empty()) return std::nullopt;
    Answer answer = std::move(queue.front());
    queue.pop_front();
    if (answer.unavailable) throw platform::DriverUnavailable("scripted: " + function);
    return answer;
}

ScriptedMCardApi::Code ScriptedMCardApi::SCardListReadersA(int32_t context, const std::string& groups,
                                                           std::string& buffer, uint32_t& length) {
    const auto a = enter("SCardListReadersA", {context, length}, groups);
    if (a && a->code != kOk) return a->code;
    if (readers.empty()) return 0x8010002Eu;  // PC/SC: no reader attached
    std::string list;
    for (const auto& name : readers) list += name + '\0';
    list += '\0';
    length = static_cast<uint32_t>(std::min(list.size(), buffer.size()));
    buffer.replace(0, length, list, 0, length);
    return kOk;
}

}  // namespace orvex::test
