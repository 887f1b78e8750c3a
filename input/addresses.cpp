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

// Within one address the separators come at most once each, in this order.
int SeparatorRank(char c) { return c == ':' ? 1 : c == '/' ? 2 : c == '.' ? 3 : 0; }

// A field FidoNet cannot give names another node, typed or completed from the
// defaults: nets and nodes are 16-bit there and in the outbound's file names,
// and no field is negative (only DEFAULTNODE can bring a sign).
bool OutOfRange(const NodeAddress& a) {
    return a.Zone < 0 || a.Net < 0 || a.Node < 0 || a.Point < 0 || a.Net > kMaxNetOrNode || a.Node > kMaxNetOrNode;
}

// Where the first address of the normalised text ends: at a blank that stands
// alone (no blank before or after it), or at the end. What NormalizeLine left
// decides it, so its quirks show here:
//   "36 37"    two addresses, nodes 36 and 37;
//   "36  37"   one address: the two blanks that a lone "/" leaves between
//              blanks ("36 / 37") separate nothing, and each blank closes
//              the node in hand, the second with no digits: node 37;
//   " 36"      two addresses: the blank that a leading "/ " leaves ("/ 36")
//              stands alone at the start, so the first address is the default
//              node with node 0 (closed with no digits), the second node 36.
std::size_t AddressEnd(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool blankBefore = i > 0 && text[i - 1] == ' ';
        const bool blankAfter = i + 1 < text.size() && text[i + 1] == ' ';
        if (text[i] == ' ' && !blankBefore && !blankAfter) return i;
    }
    return text.size();
}

// One address: the defaults, with what the text gives in their place. Digits
// gather until a separator takes them: ":" the zone, "/" the net, "." the node
// (DEFAULTNODE's with no digits before it) and then the point; a blank, and
// the end of the address, close the node, or the point after a ".".
NodeAddress ReadAddress(std::string_view text, const NodeDefaults& defaults) {
    NodeAddress slot = defaults.Slot;
    DigitRun run;
    bool pointPending = false;
    int lastSeparator = 0;  // the rank of the last separator since the last blank
    const auto closeField = [&] {
        (pointPending ? slot.Point : slot.Node) = run.Take();
        pointPending = false;
    };
    for (const char c : text) {
        // "2:5020/52/1" or "2:5020/52.1.2" would quietly name another node.
        if (const int rank = SeparatorRank(c)) {
            if (rank <= lastSeparator) StopRun(text::kBadAddress);
            lastSeparator = rank;
        }
        if (c >= '0' && c <= '9') {
            run.Add(c);
        } else if (c == ':') {
            slot.Zone = run.Take();
        } else if (c == '/') {
            slot.Net = run.Take();
        } else if (c == '.') {
            slot.Node = run.Empty() ? defaults.DefaultNodeValue : run.Take();
            pointPending = true;
        } else if (c == ' ') {
            closeField();
            lastSeparator = 0;
        } else {
            StopRun(text::kBadAddress);
        }
    }
    closeField();
    return slot;
}

}  // namespace

NodeList ParseNodeString(const BoundedString& nodeString, const NodeDefaults& defaults) {
    const BoundedString normal = NormalizeLine(nodeString);
    if (normal.Empty()) StopRun(text::kNoAddress);
    NodeList list;
    for (std::string_view rest = normal.View();;) {
        const std::size_t end = AddressEnd(rest);
        list.push_back(ReadAddress(rest.substr(0, end), defaults));
        if (end == rest.size()) break;
        if (static_cast<int>(list.size()) == kNodeCapacity) StopRun(text::kTooManyAddresses);
        rest.remove_prefix(end + 1);
    }
    if (defaults.TooLarge) StopRun(text::kBadAddress);
    for (const NodeAddress& node : list)
        if (OutOfRange(node)) StopRun(text::kBadAddress);
    return list;
}
