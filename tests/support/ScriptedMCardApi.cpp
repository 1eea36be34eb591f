#include "ScriptedMCardApi.h"

#include <algorithm>

#include "platform/DriverUnavailable.h"

namespace orvex::test {
namespace {

namespace mc = platform::mcard;
using platform::mcard_code;

constexpr size_t kCardSize = 16384;
constexpr int32_t kContext = 1;
constexpr int32_t kMCardContext = 7;
constexpr int32_t kCardHandle = 9;
constexpr int32_t kStateEmpty = 2;
// What PC/SC answers when no reader is attached.
constexpr mcard_code kNoReadersAvailable = 0x8010002Eu;

template <typename T>
void applyIf(const std::optional<T>& value, T& target) {
    if (value) target = *value;
}

}  // namespace

ScriptedMCardApi::ScriptedMCardApi() : memory(kCardSize, '\0') {}

void ScriptedMCardApi::script(const std::string& function, Answer answer) {
    scripts_[function].push_back(std::move(answer));
}

std::vector<ScriptedMCardApi::Call> ScriptedMCardApi::callsOf(const std::string& function) const {
    std::vector<Call> out;
    for (const auto& c : calls_) {
        if (c.function == function) out.push_back(c);
    }
    return out;
}

int ScriptedMCardApi::count(const std::string& function) const {
    return static_cast<int>(callsOf(function).size());
}

std::optional<ScriptedMCardApi::Answer> ScriptedMCardApi::enter(const std::string& function,
                                                                std::vector<int64_t> numbers,
                                                                std::string text) {
    calls_.push_back({function, std::move(numbers), std::move(text),
                      now_ ? now_() : std::chrono::milliseconds(0)});
    std::optional<Answer> answer;
    auto it = scripts_.find(function);
    if (it != scripts_.end() && !it->second.empty()) {
        answer = std::move(it->second.front());
        it->second.pop_front();
    }
    if (unavailable_ || (answer && answer->unavailable)) {
        throw platform::DriverUnavailable("scripted: " + function);
    }
    return answer;
}

bool ScriptedMCardApi::inMemory(uint32_t offset, uint32_t length) const {
    return offset <= memory.size() && length <= memory.size() - offset;
}

mcard_code ScriptedMCardApi::SCardEstablishContext(uint32_t scope, int32_t& context) {
    const auto a = enter("SCardEstablishContext", {scope, context});
    context = kContext;
    if (!a) return mc::MCARD_S_SUCCESS;
    applyIf(a->value, context);
    return a->code;
}

mcard_code ScriptedMCardApi::SCardListReadersA(int32_t context, const std::string& groups,
                                               std::string& buffer, uint32_t& length) {
    const auto a = enter("SCardListReadersA", {context, length}, groups);
    std::string list;
    for (const auto& name : readers) list += name + '\0';
    list += '\0';
    if (a) applyIf(a->bytes, list);
    if (a && a->code != mc::MCARD_S_SUCCESS) return a->code;
    if (readers.empty() && !(a && a->bytes)) return kNoReadersAvailable;
    buffer.replace(0, std::min(list.size(), buffer.size()), list, 0, std::min(list.size(), buffer.size()));
    length = static_cast<uint32_t>(std::min(list.size(), buffer.size()));
    if (a) applyIf(a->length, length);
    return mc::MCARD_S_SUCCESS;
}

mcard_code ScriptedMCardApi::SCardReleaseContext(int32_t context) {
    const auto a = enter("SCardReleaseContext", {context});
    return a ? a->code : mc::MCARD_S_SUCCESS;
}

mcard_code ScriptedMCardApi::MCardInitialize(int32_t scardContext, const std::string& readerName,
                                             int32_t& mcardContext, uint32_t& version) {
    const auto a = enter("MCardInitialize", {scardContext, mcardContext, version}, readerName);
    if (a && a->code != mc::MCARD_S_SUCCESS) return a->code;
    mcardContext = kMCardContext;
    version = dllVersion;
    if (a) {
        applyIf(a->value, mcardContext);
        applyIf(a->version, version);
    }
    return mc::MCARD_S_SUCCESS;
}

mcard_code ScriptedMCardApi::MCardShutdown(int32_t mcardContext) {
    const auto a = enter("MCardShutdown", {mcardContext});
    return a ? a->code : mc::MCARD_S_SUCCESS;
}

mcard_code ScriptedMCardApi::MCardConnect(int32_t mcardContext, uint32_t connectMode, uint8_t type,
                                          int32_t& cardHandle) {
    const auto a = enter("MCardConnect", {mcardContext, connectMode, type, cardHandle});
    if (a && a->code != mc::MCARD_S_SUCCESS) return a->code;
    if (!cardInserted) return mc::MCARD_E_UNKNOWN_CARD;
    cardHandle = kCardHandle;
    if (a) applyIf(a->value, cardHandle);
    return mc::MCARD_S_SUCCESS;
}

mcard_code ScriptedMCardApi::MCardGetAttrib(int32_t cardHandle, uint32_t attribId,
                                            std::string& buffer, uint32_t& length) {
    const auto a = enter("MCardGetAttrib", {cardHandle, attribId, length}, buffer);
    if (a && a->code != mc::MCARD_S_SUCCESS) return a->code;
    if (!buffer.empty()) buffer[0] = static_cast<char>(cardType);
    if (a) applyIf(a->bytes, buffer);
    return mc::MCARD_S_SUCCESS;
}

mcard_code ScriptedMCardApi::MCardDisconnect(int32_t cardHandle, uint32_t disposition) {
    const auto a = enter("MCardDisconnect", {cardHandle, disposition});
    return a ? a->code : mc::MCARD_S_SUCCESS;
}

mcard_code ScriptedMCardApi::MCardWaitForCardState(int32_t mcardContext, uint32_t expectedState,
                                                   int32_t& state, uint32_t timeoutMs) {
    const auto a = enter("MCardWaitForCardState", {mcardContext, expectedState, state, timeoutMs});
    if (a) {
        applyIf(a->value, state);
        return a->code;
    }
    state = cardInserted ? mc::kStatePresent : kStateEmpty;
    return cardInserted ? mc::MCARD_S_SUCCESS : mc::MCARD_E_UNKNOWN_CARD;
}

mcard_code ScriptedMCardApi::MCardReadMemory(int32_t cardHandle, uint8_t zone, uint32_t offset,
                                             std::string& buffer, uint32_t& length) {
    const auto a = enter("MCardReadMemory", {cardHandle, zone, offset, length});
    if (a) {
        applyIf(a->bytes, buffer);
        applyIf(a->length, length);
        if (a->code != mc::MCARD_S_SUCCESS || a->bytes) return a->code;
    }
    if (!inMemory(offset, length) || length > buffer.size()) return mc::MCARD_E_INVALID_MEMORY_RANGE;
    buffer.replace(0, length, memory, offset, length);
    return mc::MCARD_S_SUCCESS;
}

mcard_code ScriptedMCardApi::MCardWriteMemory(int32_t cardHandle, uint8_t zone, uint32_t offset,
                                              const std::string& data, uint32_t& length) {
    const auto a = enter("MCardWriteMemory", {cardHandle, zone, offset, length}, data);
    if (a && a->code != mc::MCARD_S_SUCCESS) return a->code;
    if (!inMemory(offset, length) || length > data.size()) return mc::MCARD_E_INVALID_MEMORY_RANGE;
    memory.replace(offset, length, data, 0, length);
    if (a) applyIf(a->length, length);
    return mc::MCARD_S_SUCCESS;
}

}  // namespace orvex::test
