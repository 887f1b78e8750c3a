// Address defaults and the address parser.
#include "input/addresses.hpp"

#include <algorithm>

#include "config/configuration.hpp"
#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"
#include "runtime/numbers.hpp"
#include "runtime/text_helpers.hpp"

std::string PrintedForm(const NodeAddress& a) {
    return IntToText(a.Zone) + ":" + IntToText(a.Net) + "/" + IntToText(a.Node) + "." + IntToText(a.Point);
}

NodeDefaults LoadNodeDefaults(const Settings& settings) {
    return LoadNodeDefaults(settings.DefaultNet.View(), settings.DefaultNode.View());
}

namespace {

// Whether the text is a whole number as TextToInt reads it, whatever its size.
bool IsWholeNumber(std::string_view text) {
    std::size_t i = std::min(text.find_first_not_of(' '), text.size());
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const bool hex = i < text.size() && text[i] == '$';
    const std::string_view digits = text.substr(hex ? i + 1 : i);
    const std::string_view allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    return !digits.empty() && digits.find_first_not_of(allowed) == std::string_view::npos;
}

// A number of the defaults; one too large to hold would quietly be 0.
std::int32_t DefaultNumber(std::string_view text, NodeDefaults& defaults) {
    const TextNumber number = ParseNumber(text);
    if (number.ErrorPosition != 0 && IsWholeNumber(text)) defaults.TooLarge = true;
    return number.Value;
}

}  // namespace

NodeDefaults LoadNodeDefaults(std::string_view defaultNet, std::string_view defaultNode) {
    NodeDefaults defaults;
    std::string run;
    for (char c : defaultNet) {
        if (c >= '0' && c <= '9') {
            run.push_back(c);
        } else if (c == ':') {
            defaults.Slot.Zone = defaults.MainZone = DefaultNumber(run, defaults);
            run.clear();
        }
    }
    defaults.Slot.Net = DefaultNumber(run, defaults);
    defaults.DefaultNodeValue = defaults.Slot.Node = DefaultNumber(defaultNode, defaults);
    defaults.Slot.Point = 0;
    return defaults;
}

namespace {

// The digits gathered since a field last took them; a field takes 0 when
// there are none.
class DigitRun {
public:
    void Add(char digit) {
        value_ = value_ * 10 + (digit - '0');
        // A number beyond the field's range would name another node.
        if (value_ > 2147483647) StopRun(text::kBadAddress);
        empty_ = false;
    }
    bool Empty() const { return empty_; }
    std::int32_t Take() {
        const auto value = static_cast<std::int32_t>(value_);
        value_ = 0;
        empty_ = true;
        return value;
    }

private:
    std::int64_t value_ = 0;
    bool empty_ = true;
};

bool IsAddressCharacter(char c) { return (c >= '0' && c <= '9') || c == ':' || c == '/' || c == '.' || c == ' '; }

// Within one address the separators come at most once each, in this order.
int SeparatorRank(char c) { return c == ':' ? 1 : c == '/' ? 2 : c == '.' ? 3 : 0; }

// A field FidoNet cannot give names another node, typed or completed from the
// defaults: nets and nodes are 16-bit there and in the outbound's file names,
// and no field is negative (only DEFAULTNODE can bring a sign).
bool OutOfRange(const NodeAddress& a) {
    return a.Zone < 0 || a.Net < 0 || a.Node < 0 || a.Point < 0 || a.Net > kMaxNetOrNode || a.Node > kMaxNetOrNode;
}

// A blank or the end of the text closes the field in hand: the node, or the
// point once a "." has been met.
void CloseField(NodeAddress& slot, DigitRun& run, bool& pointPending) {
    if (pointPending)
        slot.Point = run.Take();
    else
        slot.Node = run.Take();
    pointPending = false;
}

}  // namespace

NodeList ParseNodeString(const BoundedString& nodeString, const NodeDefaults& defaults) {
    const BoundedString normal = NormalizeLine(nodeString);
    if (normal.Empty()) StopRun(text::kNoAddress);

    NodeList list;
    list.push_back(defaults.Slot);
    bool pointPending = false;
    int lastSeparator = 0;  // the rank of the last separator since the last blank
    DigitRun run;
    const int length = normal.Length();
    for (int i = 1; i <= length; ++i) {
        const char c = normal.At(i);
        NodeAddress& slot = list.back();
        // "2:5020/52/1" or "2:5020/52.1.2" would quietly name another node.
        if (const int rank = SeparatorRank(c)) {
            if (rank <= lastSeparator) StopRun(text::kBadAddress);
            lastSeparator = rank;
        }
        if (c == ' ') lastSeparator = 0;
        if (c >= '0' && c <= '9') run.Add(c);
        if (c == ':') slot.Zone = run.Take();
        if (c == '/') slot.Net = run.Take();
        if (c == '.') {
            slot.Node = run.Empty() ? defaults.DefaultNodeValue : run.Take();
            pointPending = true;
        }
        if (c == ' ') CloseField(slot, run, pointPending);
        // Only a blank between two other characters starts the next address:
        // the normalised text keeps a double blank where a lone "/" stood
        // between blanks ("36 / 37" is one address, node 37), and a blank at
        // the very start where it began with "/" and a blank ("/ 36" is two).
        const bool spaceBefore = i > 1 && normal.At(i - 1) == ' ';
        const bool spaceAfter = i < length && normal.At(i + 1) == ' ';
        if (c == ' ' && !spaceBefore && !spaceAfter) {
            if (static_cast<int>(list.size()) == kNodeCapacity) StopRun(text::kTooManyAddresses);
            list.push_back(defaults.Slot);
        }
        if (i == length) CloseField(list.back(), run, pointPending);
        if (!IsAddressCharacter(c)) StopRun(text::kBadAddress);
    }
    if (defaults.TooLarge) StopRun(text::kBadAddress);
    for (const NodeAddress& node : list)
        if (OutOfRange(node)) StopRun(text::kBadAddress);
    return list;
}
