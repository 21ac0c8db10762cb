#include "core/bencode_scan.h"

#include <vector>

namespace {

// Which containers matter: the top level, the info dictionary, the announce-list and its tiers.
enum class Role { Other, TopLevel, Info, AnnounceList, Tier };

// The keys that matter, as found at the level they matter in.
enum class Key {
    Other,
    Info,
    Announce,
    AnnounceList,
    Pieces,
    MetaVersion,
    FileTree,
    Name,
    NameUtf8
};

enum class Kind { Integer, String, List, Dictionary };

struct OpenContainer {
    Kind kind;
    Role role;
    size_t begin;
    bool expectKey; // dictionaries alternate key and value
    Key key;        // the key of the value being read, in a dictionary
};

class Scanner {
  public:
    Scanner(std::string_view content, bool withTrackers)
        : content_(content), withTrackers_(withTrackers) {}

    std::optional<MetainfoLayout> Run() {
        if (content_.empty() || content_[0] != 'd')
            return std::nullopt;
        while (position_ < content_.size()) {
            if (!Step())
                return std::nullopt;
            if (stack_.empty())
                break;
        }
        if (!stack_.empty() || position_ != content_.size())
            return std::nullopt;
        return layout_;
    }

  private:
    // Reads one token: a key, a scalar value, the start of a container or its end.
    bool Step() {
        char c = content_[position_];
        if (!stack_.empty() && stack_.back().kind == Kind::Dictionary && stack_.back().expectKey) {
            if (c == 'e')
                return CloseContainer();
            return ReadKey();
        }
        size_t begin = position_;
        if (c == 'e' && !stack_.empty() && stack_.back().kind == Kind::List)
            return CloseContainer();
        if (c == 'i')
            return SkipInteger() && ValueDone(Kind::Integer, begin, position_);
        if (c >= '0' && c <= '9') {
            std::string_view text;
            return ReadString(text) && ValueDone(Kind::String, begin, position_, text);
        }
        if (c == 'l' || c == 'd')
            return OpenContainerAt(c == 'l' ? Kind::List : Kind::Dictionary);
        return false;
    }

    bool ReadKey() {
        std::string_view key;
        if (!ReadString(key))
            return false;
        OpenContainer& dictionary = stack_.back();
        dictionary.expectKey = false;
        dictionary.key = Classify(dictionary.role, key);
        return true;
    }

    Key Classify(Role role, std::string_view key) const {
        if (role == Role::TopLevel) {
            if (key == "info")
                return Key::Info;
            if (key == "announce")
                return Key::Announce;
            if (key == "announce-list")
                return Key::AnnounceList;
        }
        if (role == Role::Info) {
            if (key == "pieces")
                return Key::Pieces;
            if (key == "meta version")
                return Key::MetaVersion;
            if (key == "file tree")
                return Key::FileTree;
            if (key == "name")
                return Key::Name;
            if (key == "name.utf-8")
                return Key::NameUtf8;
        }
        return Key::Other;
    }

    bool OpenContainerAt(Kind kind) {
        if (stack_.size() >= kMaxBencodeDepth)
            return false;
        Role role = Role::Other;
        if (stack_.empty())
            role = Role::TopLevel;
        else if (CurrentKey() == Key::Info && !infoSeen_ && kind == Kind::Dictionary)
            role = Role::Info;
        else if (CurrentKey() == Key::AnnounceList && kind == Kind::List)
            role = Role::AnnounceList;
        else if (stack_.back().role == Role::AnnounceList && kind == Kind::List)
            role = Role::Tier;
        stack_.push_back({kind, role, position_, kind == Kind::Dictionary, Key::Other});
        ++position_;
        return true;
    }

    bool CloseContainer() {
        OpenContainer closed = stack_.back();
        stack_.pop_back();
        ++position_;
        if (stack_.empty())
            return true;
        return ValueDone(closed.kind, closed.begin, position_);
    }

    // A value inside the innermost open container is complete: note it where it matters.
    // `text` is a string's bytes without their length.
    bool ValueDone(Kind kind, size_t begin, size_t end, std::string_view text = {}) {
        if (stack_.empty())
            return false; // the top level must be a dictionary
        OpenContainer& parent = stack_.back();
        if (parent.kind == Kind::Dictionary) {
            Note(parent.key, kind, content_.substr(begin, end - begin), text);
            parent.expectKey = true;
        } else if (parent.role == Role::Tier && kind == Kind::String && withTrackers_) {
            layout_.announceList.push_back(text);
        }
        return true;
    }

    void Note(Key key, Kind kind, std::string_view value, std::string_view text) {
        size_t begin = static_cast<size_t>(value.data() - content_.data());
        switch (key) {
        case Key::Info:
            if (!infoSeen_) {
                infoSeen_ = true;
                layout_.infoBegin = begin;
                layout_.infoEnd = begin + value.size();
                layout_.infoIsDictionary = kind == Kind::Dictionary;
            }
            break;
        case Key::Pieces:
            layout_.hasPieces = layout_.hasPieces || kind == Kind::String;
            break;
        case Key::MetaVersion:
            layout_.isMetaVersion2 = layout_.isMetaVersion2 || value == "i2e";
            break;
        case Key::FileTree:
            layout_.hasFileTree = layout_.hasFileTree || kind == Kind::Dictionary;
            break;
        case Key::Name:
            if (kind == Kind::String)
                layout_.infoName = text;
            break;
        case Key::NameUtf8:
            if (kind == Kind::String)
                layout_.infoNameUtf8 = text;
            break;
        case Key::Announce:
            if (kind == Kind::String)
                layout_.announce = text;
            break;
        case Key::AnnounceList:
        case Key::Other:
            break;
        }
    }

    Key CurrentKey() const {
        const OpenContainer& parent = stack_.back();
        return parent.kind == Kind::Dictionary ? parent.key : Key::Other;
    }

    bool SkipInteger() {
        size_t p = position_ + 1;
        if (p < content_.size() && content_[p] == '-')
            ++p;
        size_t digits = p;
        while (p < content_.size() && IsDigit(content_[p]))
            ++p;
        if (p == digits || p >= content_.size() || content_[p] != 'e')
            return false;
        position_ = p + 1;
        return true;
    }

    bool ReadString(std::string_view& text) {
        size_t p = position_;
        size_t length = 0;
        const size_t whole = content_.size();
        while (p < content_.size() && IsDigit(content_[p])) {
            // Longer than the whole content cannot fit; tested before the length grows, so
            // that it cannot wrap around in a 32-bit size.
            if (length > whole / 10)
                return false;
            length = length * 10 + static_cast<size_t>(content_[p] - '0');
            if (length > whole)
                return false;
            ++p;
        }
        if (p == position_ || p >= content_.size() || content_[p] != ':')
            return false;
        ++p;
        if (length > content_.size() - p)
            return false;
        text = content_.substr(p, length);
        position_ = p + length;
        return true;
    }

    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    std::string_view content_;
    bool withTrackers_;
    size_t position_ = 0;
    std::vector<OpenContainer> stack_;
    MetainfoLayout layout_;
    bool infoSeen_ = false;
};

} // namespace

std::optional<MetainfoLayout> ScanMetainfo(std::string_view content, bool withTrackers) {
    return Scanner(content, withTrackers).Run();
}
