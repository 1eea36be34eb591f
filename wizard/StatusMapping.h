#pragma once
// What the window shows for a card state word and for an identified card.
// Pure: no widgets, no reader; the window applies the answer.
#include <cstdint>
#include <optional>
#include <string>

namespace orvex::wizard {

// Pages of the window's page stack.
enum Page : int {
    kPageSettings = 0,
    kPageInsertCard = 1,
    kPageFormat = 2,
    kPageTasks = 3,
    kPageLoadFile = 4,
    kPageProcessing = 5,
    kPageWaiting = 6,
    kPageRecharge = 7,
    kPageNotProgrammable = 8,
};

// How the status display reacts to a change of the card state word.
struct StateRow {
    bool known = false;         // false: nothing changes, card display kept
    bool identify = false;      // "active": identify and verify the card
    bool releaseCard = false;   // the card object is let go
    int statusText = 0;         // text offset for lblCardStatus
    std::optional<int> page;    // page brought to the front
    bool showSafelyRemove = false;
};
StateRow stateRow(const std::string& word);

// The status lines of a card that was identified.
struct CardLines {
    std::string status;    // lblCardStatus
    std::string type;      // lblCardType
    std::string duration;  // lblCardDuration
    std::optional<int> cardTypeOption;  // option of the load-file page to select
};
struct CardFacts {
    int32_t kind = 0;
    std::string name;
    std::string duration;  // as the card object reports it
    bool combineSeq = false;
    bool placebo = false;
};
// A card that passed verification: name, type with station flags, duration
// with its unit.
CardLines verifiedCardLines(const CardFacts& card);
// A card that failed verification: "unformatted / unknown" and its kind if
// the card object recognised one.
CardLines unverifiedCardLines(int32_t kind);

// Whether Enter runs the page's "next": on every page that has one but the
// format page, whose "next" erases the card and so runs only on a deliberate
// click (or Space on the focused button).
bool enterRunsNext(int page);

}  // namespace orvex::wizard
