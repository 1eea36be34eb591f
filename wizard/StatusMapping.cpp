#include "wizard/StatusMapping.h"

#include <map>

#include "foundation/modRes.h"
#include "samplefile/modDecimal.h"

namespace orvex::wizard {
namespace {

constexpr int kCardTypeDrink = 1;
constexpr int kCardTypeStation = 2;

std::string typeLine(int32_t kind) {
    if (kind == kCardTypeDrink) return resText(113) + " " + resText(111);
    if (kind == kCardTypeStation) return resText(113) + " " + resText(110);
    return "";
}

// A duration shows only when it is a number above 0.
bool showsDuration(const std::string& duration) {
    const auto value = decimalValue(duration);
    return value && *value > 0;
}

}  // namespace

StateRow stateRow(const std::string& word) {
    // word: statusText, page, release, safely-remove image
    static const std::map<std::string, StateRow> rows = {
        {"error", {true, false, true, 7001, std::nullopt, false}},
        {"wait", {true, false, true, 7002, kPageInsertCard, false}},
        {"detect", {true, false, false, 7003, std::nullopt, false}},
        {"invalid", {true, false, true, 7004, std::nullopt, true}},
        {"valid", {true, false, false, 7005, std::nullopt, false}},
        {"active", {true, true, false, 0, std::nullopt, false}},
        {"activelocked", {true, false, false, 7009, kPageProcessing, false}},
        {"locked", {true, false, true, 7010, kPageInsertCard, false}},
        {"failed", {true, false, true, 7011, kPageInsertCard, false}},
        {"disconnected", {true, false, true, 7012, kPageInsertCard, false}},
    };
    const auto it = rows.find(word);
    return it == rows.end() ? StateRow{} : it->second;
}

CardLines verifiedCardLines(const CardFacts& card) {
    CardLines lines;
    lines.status = resText(611) + " " + card.name;
    if (showsDuration(card.duration)) lines.duration = resText(604) + " " + card.duration;
    lines.type = typeLine(card.kind);
    if (card.kind == kCardTypeDrink) {
        lines.cardTypeOption = 0;
        if (!lines.duration.empty()) lines.duration += " " + resText(7014);
    } else if (card.kind == kCardTypeStation) {
        lines.cardTypeOption = 1;
        if (!lines.duration.empty()) lines.duration += " " + resText(7017);
        if (card.combineSeq) lines.type += "+";
        if (card.placebo) lines.type += " (Pcb.)";
    }
    return lines;
}

CardLines unverifiedCardLines(int32_t kind) {
    CardLines lines;
    lines.status = resText(7008);
    lines.type = typeLine(kind);
    return lines;
}

bool enterRunsNext(int page) {
    return page == kPageSettings || page == kPageTasks || page == kPageLoadFile ||
           page == kPageRecharge;
}

}  // namespace orvex::wizard
