// Address defaults and the address parser.
#include "front/addresses.hpp"

#include "config/configuration.hpp"
#include "config/console_texts.hpp"
#include "config/text_helpers.hpp"
#include "runtime/numbers.hpp"
#include "runtime/standard_files.hpp"

std::string PrintedForm(const NodeAddress& a) {
    return IntToText(a.zone) + ":" + IntToText(a.net) + "/" + IntToText(a.node) + "." + IntToText(a.point);
}

NodeDefaults LoadNodeDefaults(const Settings& settings) {
    return LoadNodeDefaults(settings.DefaultNet.View(), settings.DefaultNode.View());
}

NodeDefaults LoadNodeDefaults(std::string_view defaultNet, std::string_view defaultNode) {
    NodeDefaults defaults;
    std::string run;
    for (char c : defaultNet) {
        if (c >= '0' && c <= '9') {
            run.push_back(c);
        } else if (c == ':') {
            defaults.slot.zone = defaults.MainZone = TextToInt(run);
            run.clear();
        }
    }
    defaults.slot.net = TextToInt(run);
    defaults.defaultNode = defaults.slot.node = TextToInt(defaultNode);
    defaults.slot.point = 0;
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

// A blank or the end of the text closes the field in hand: the node, or the
// point once a "." has been met.
void CloseField(NodeAddress& slot, DigitRun& run, bool& pointPending) {
    if (pointPending)
        slot.point = run.Take();
    else
        slot.node = run.Take();
    pointPending = false;
}

}  // namespace

NodeList ParseNodeString(const BoundedString& nodeString, const NodeDefaults& defaults) {
    const BoundedString normal = NormalizeLine(nodeString);
    if (normal.Empty()) StopRun(text::kNoAddress);

    NodeList list;
    list.MainZone = defaults.MainZone;
    list.nodes.push_back(defaults.slot);
    bool pointPending = false;
    DigitRun run;
    const int length = normal.Length();
    for (int i = 1; i <= length; ++i) {
        const char c = normal.At(i);
        NodeAddress& slot = list.nodes.back();
        if (c >= '0' && c <= '9') run.Add(c);
        if (c == ':') slot.zone = run.Take();
        if (c == '/') slot.net = run.Take();
        if (c == '.') {
            slot.node = run.Empty() ? defaults.defaultNode : run.Take();
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
            if (static_cast<int>(list.nodes.size()) == kNodeCapacity) StopRun(text::kTooManyAddresses);
            list.nodes.push_back(defaults.slot);
        }
        if (i == length) CloseField(list.nodes.back(), run, pointPending);
        if (!IsAddressCharacter(c)) StopRun(text::kBadAddress);
    }
    // Net and node are 16-bit in FidoNet and in the outbound's file names: a
    // larger one, typed or completed from the defaults, is always a typo.
    for (const NodeAddress& node : list)
        if (node.net > kMaxNetOrNode || node.node > kMaxNetOrNode) StopRun(text::kBadAddress);
    return list;
}
