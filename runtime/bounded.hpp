// Bounded strings: texts of at most N single-byte characters, positions from 1.
// Storing or joining beyond the capacity cuts silently, as every text of the run does.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

template <int Capacity>
class Bounded {
    static_assert(Capacity > 0 && Capacity <= 255);

public:
    static constexpr int kCapacity = Capacity;

    Bounded() = default;
    Bounded(std::string_view text) { Assign(text); }  // NOLINT: cutting on assignment is the point
    Bounded(const char* text) : Bounded(std::string_view(text)) {}  // NOLINT
    Bounded(const std::string& text) : Bounded(std::string_view(text)) {}  // NOLINT
    template <int Other>
    Bounded(const Bounded<Other>& other) : Bounded(other.View()) {}  // NOLINT

    void Assign(std::string_view text) {
        length_ = static_cast<int>(std::min<std::size_t>(text.size(), Capacity));
        std::copy_n(text.data(), length_, chars_.begin());
    }

    int Length() const { return length_; }
    bool Empty() const { return length_ == 0; }
    std::string_view View() const { return {chars_.data(), static_cast<std::size_t>(length_)}; }
    std::string Str() const { return std::string(View()); }

    // The character at position 1..Length(); the caller checks the position.
    char At(int position) const { return chars_[static_cast<std::size_t>(position - 1)]; }
    char First() const { return At(1); }
    char Last() const { return At(length_); }

    // Appends what fits; the rest is lost.
    Bounded& Append(std::string_view text) {
        const int room = Capacity - length_;
        const int taken = static_cast<int>(std::min<std::size_t>(text.size(), static_cast<std::size_t>(room)));
        std::copy_n(text.data(), taken, chars_.begin() + length_);
        length_ += taken;
        return *this;
    }
    Bounded& Append(char c) { return Append(std::string_view(&c, 1)); }

    template <int Other>
    bool operator==(const Bounded<Other>& other) const { return View() == other.View(); }
    friend bool operator==(const Bounded& a, std::string_view b) { return a.View() == b; }

private:
    int length_ = 0;
    std::array<char, Capacity> chars_{};
};

using BoundedString = Bounded<255>;

// Joins texts; the result is cut at 255 characters.
template <typename... Texts>
BoundedString Join(const Texts&... texts) {
    BoundedString result;
    (result.Append(std::string_view(texts)), ...);
    return result;
}

// Position (from 1) of the first occurrence of sub in s; 0 when there is none,
// when sub is empty or longer than s. Case counts.
int FindText(std::string_view sub, std::string_view s);

// The characters of s from index on, at most count of them. An index below 1
// counts as 1, an index beyond the length gives the empty text, a negative
// count counts as 0.
BoundedString CopyText(std::string_view s, int index, int count);

// Removes count characters from index on, fewer where s ends sooner. Nothing
// happens for an index or count of 0 or less, or an index beyond the length.
template <int Capacity>
void DeleteText(Bounded<Capacity>& s, int index, int count) {
    if (index < 1 || count < 1 || index > s.Length()) return;
    const std::string_view v = s.View();
    const std::size_t from = static_cast<std::size_t>(index - 1);
    const std::size_t cut = std::min<std::size_t>(static_cast<std::size_t>(count), v.size() - from);
    std::string rest(v.substr(0, from));
    rest.append(v.substr(from + cut));
    s.Assign(rest);
}

// Puts src in front of the character at index of s; an index below 1 counts
// as 1, an index beyond the length appends. The result is cut to s's capacity.
template <int Capacity>
void InsertText(std::string_view src, Bounded<Capacity>& s, int index) {
    const std::string_view v = s.View();
    const std::size_t at = static_cast<std::size_t>(std::clamp(index, 1, s.Length() + 1) - 1);
    std::string joined(v.substr(0, at));
    joined.append(src);
    joined.append(v.substr(at));
    s.Assign(joined);
}

// "a".."z" become "A".."Z"; every other byte stays.
constexpr char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
