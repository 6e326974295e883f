#include "platform/KeyScript.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "base/Charset.h"

namespace KeyScript {

namespace {

using Toolbox::PlatformMessage;

constexpr std::uint32_t kAlt = 256;
constexpr std::uint32_t kShift = 512;
constexpr std::uint32_t kCaps = 1024;
constexpr std::uint32_t kControl = 4096;

constexpr std::uint32_t kF10 = 121;
constexpr std::int32_t kMaxWait = 600000; // ms: ten minutes

struct KeyName {
  const char* name;
  std::uint32_t vkey;
  bool extended;
};

// The named keys: the cursor block is extended, the keypad is not (except its Enter
// and divide keys, as the platform reports them).
constexpr std::array kKeyNames = {
    KeyName{"RETURN", 13, false},   KeyName{"ENTER", 13, false},    KeyName{"TAB", 9, false},
    KeyName{"ESC", 27, false},      KeyName{"BACKSPACE", 8, false}, KeyName{"SPACE", 32, false},
    KeyName{"DELETE", 46, true},    KeyName{"INSERT", 45, true},    KeyName{"GOLD", 45, true},
    KeyName{"HOME", 36, true},      KeyName{"END", 35, true},       KeyName{"PGUP", 33, true},
    KeyName{"PGDN", 34, true},      KeyName{"UP", 38, true},        KeyName{"DOWN", 40, true},
    KeyName{"LEFT", 37, true},      KeyName{"RIGHT", 39, true},     KeyName{"KPENTER", 13, true},
    KeyName{"KPMINUS", 109, false}, KeyName{"KPPLUS", 107, false},  KeyName{"KPDOT", 110, false},
    KeyName{"KPDIV", 111, true},    KeyName{"KPMUL", 106, false},
};

// The punctuation keys of a US keyboard: key code, character, shifted character.
struct Punctuation {
  std::uint32_t vkey;
  char plain;
  char shifted;
};
constexpr std::array kPunctuation = {
    Punctuation{186, ';', ':'}, Punctuation{187, '=', '+'},  Punctuation{188, ',', '<'},
    Punctuation{189, '-', '_'}, Punctuation{190, '.', '>'},  Punctuation{191, '/', '?'},
    Punctuation{192, '`', '~'}, Punctuation{219, '[', '{'},  Punctuation{220, '\\', '|'},
    Punctuation{221, ']', '}'}, Punctuation{222, '\'', '"'},
};
constexpr const char* kShiftedDigits = ")!@#$%^&*(";

bool EqualCaseless(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool IsAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// The key of a name (case ignored): the table, F1..F15 and KP0..KP9.
bool LookUpName(std::string_view name, std::uint32_t& vkey, bool& extended) {
  for (const KeyName& k : kKeyNames) {
    if (EqualCaseless(name, k.name)) {
      vkey = k.vkey;
      extended = k.extended;
      return true;
    }
  }
  auto number = [](std::string_view digits, int& n) {
    if (digits.empty() || digits.size() > 2) return false;
    n = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + (c - '0');
    }
    return true;
  };
  int n = 0;
  if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f') && number(name.substr(1), n) &&
      n >= 1 && n <= 15) {
    vkey = 111 + static_cast<std::uint32_t>(n);
    extended = false;
    return true;
  }
  if (name.size() == 3 && EqualCaseless(name.substr(0, 2), "KP") && number(name.substr(2), n)) {
    vkey = 96 + static_cast<std::uint32_t>(n);
    extended = false;
    return true;
  }
  return false;
}

// The key press that types c, or false for a control character no key types.
bool PressForCharacter(char c, KeyPress& press) {
  if (c == '\t') {
    press = KeyPress{9, false, 0, '\t'};
    return true;
  }
  if (c == '\n' || c == '\r') {
    press = KeyPress{13, false, 0, '\r'};
    return true;
  }
  if (static_cast<unsigned char>(c) < 32 || c == 127) return false;
  std::uint32_t vkey = 0;
  bool shift = false;
  if (!KeyForCharacter(c, vkey, shift)) vkey = 0;
  press = KeyPress{vkey, false, shift ? kShift : 0, static_cast<unsigned char>(c)};
  return true;
}

std::string Quoted(std::string_view token) { return '"' + std::string(token) + '"'; }

} // namespace

void AppendMessages(const KeyPress& key, std::vector<PlatformMessage>& out) {
  const bool alt = (key.keyState & kAlt) != 0;
  const bool control = (key.keyState & kControl) != 0;
  const bool system = (alt && !control) || key.vkey == kF10;
  PlatformMessage down;
  down.kind = system ? PlatformMessage::Kind::SysKeyDown : PlatformMessage::Kind::KeyDown;
  down.vkey = key.vkey;
  down.extended = key.extended;
  down.keyState = key.keyState;
  out.push_back(down);
  if (system || key.ch < 0) return;
  PlatformMessage character;
  character.kind = PlatformMessage::Kind::Character;
  character.ch = static_cast<char>(key.ch);
  character.keyState = key.keyState;
  out.push_back(character);
}

int KeyCharacter(std::uint32_t vkey, std::uint32_t keyState) {
  const bool shift = (keyState & kShift) != 0;
  const bool control = (keyState & kControl) != 0;
  const bool caps = (keyState & kCaps) != 0;
  // Control with Alt types only what a layout puts on those keys; a US layout has none.
  if (control && (keyState & kAlt) != 0) return -1;
  if (vkey >= 'A' && vkey <= 'Z') {
    if (control) return static_cast<int>(vkey - 'A' + 1);
    return static_cast<int>(shift != caps ? vkey : vkey - 'A' + 'a');
  }
  switch (vkey) {
  case 8:
    return control ? 127 : 8;
  case 9:
    return control ? -1 : 9;
  case 13:
    return control ? 10 : 13;
  case 27:
    return 27;
  case 32:
    return 32;
  default:
    break;
  }
  if (vkey >= '0' && vkey <= '9') {
    if (control) {
      if (vkey == '2' && shift) return 0;
      if (vkey == '6' && shift) return 30;
      return -1;
    }
    return shift ? kShiftedDigits[vkey - '0'] : static_cast<int>(vkey);
  }
  if (vkey >= 96 && vkey <= 105) return control ? -1 : static_cast<int>('0' + vkey - 96);
  if (vkey >= 106 && vkey <= 111 && vkey != 108) {
    constexpr const char* keypad = "*+ -./";
    return control ? -1 : keypad[vkey - 106];
  }
  for (const Punctuation& p : kPunctuation) {
    if (p.vkey != vkey) continue;
    if (control) {
      if (vkey >= 219 && vkey <= 221) return static_cast<int>(vkey - 219 + 27);
      if (vkey == 189 && shift) return 31;
      return -1;
    }
    return static_cast<unsigned char>(shift ? p.shifted : p.plain);
  }
  return -1;
}

bool KeyForCharacter(char c, std::uint32_t& vkey, bool& shift) {
  if (c >= 'a' && c <= 'z') {
    vkey = static_cast<std::uint32_t>(c - 'a' + 'A');
    shift = false;
    return true;
  }
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') {
    vkey = static_cast<std::uint32_t>(c);
    shift = c >= 'A' && c <= 'Z';
    return true;
  }
  for (int d = 0; d < 10; ++d) {
    if (kShiftedDigits[d] == c) {
      vkey = static_cast<std::uint32_t>('0' + d);
      shift = true;
      return true;
    }
  }
  for (const Punctuation& p : kPunctuation) {
    if (p.plain == c || p.shifted == c) {
      vkey = p.vkey;
      shift = p.shifted == c;
      return true;
    }
  }
  return false;
}

// Exactly count numbers separated by commas, each of at most digits digits, a leading
// '-' allowed when negative is.
bool NumberList(std::string_view text, std::size_t count, std::size_t digits, bool negative,
                std::vector<std::int32_t>& values) {
  values.clear();
  for (;;) {
    const std::size_t comma = text.find(',');
    std::string_view number = text.substr(0, comma);
    const bool minus = negative && !number.empty() && number[0] == '-';
    if (minus) number.remove_prefix(1);
    if (number.empty() || number.size() > digits || values.size() == count) return false;
    std::int32_t n = 0;
    for (char c : number) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + (c - '0');
    }
    values.push_back(minus ? -n : n);
    if (comma == std::string_view::npos) return values.size() == count;
    text.remove_prefix(comma + 1);
  }
}

// "NAME@X,Y..." or "NAME@Title:X,Y...": the window's title ('_' for a blank, "" for the
// window in front) and exactly count numbers.
bool Place(std::string_view token, std::string_view name, std::size_t count, std::string& title,
           std::vector<std::int32_t>& values) {
  if (token.size() <= name.size() + 1 || token[name.size()] != '@' ||
      !EqualCaseless(token.substr(0, name.size()), name))
    return false;
  std::string_view rest = token.substr(name.size() + 1);
  title.clear();
  if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    if (colon == 0) return false;
    title = rest.substr(0, colon);
    std::replace(title.begin(), title.end(), '_', ' ');
    rest.remove_prefix(colon + 1);
  }
  return NumberList(rest, count, 5, true, values);
}

// The mouse buttons' flags of a click with the modifiers of keyState held.
std::uint32_t ButtonFlags(std::uint32_t keyState) {
  return ((keyState & kShift) != 0 ? 4u : 0u) | ((keyState & kControl) != 0 ? 8u : 0u);
}

// A mouse message at a point of the window in front, or of the window titled so (local
// to it), with the modifiers held.
PlatformMessage Mouse(PlatformMessage::Kind kind, std::int32_t h, std::int32_t v,
                      std::uint32_t modifiers, const std::string& title) {
  using Kind = PlatformMessage::Kind;
  PlatformMessage m;
  m.kind = kind;
  m.button = kind == Kind::MouseMove ? 0 : 1;
  m.buttonFlags = (kind == Kind::ButtonDown ? 1u : 0u) | ButtonFlags(modifiers);
  m.keyState = modifiers;
  m.where = Toolbox::Point{h, v};
  m.frontLocal = true;
  m.windowTitle = title;
  return m;
}

// The mouse and window actions a script may name: what the user does to a window (or
// the frame) with the pointer rather than the keyboard, and pauses. The mouse actions
// and pauses take the modifiers of their prefixes.
bool AppendAction(std::string_view token, std::uint32_t modifiers,
                  std::vector<PlatformMessage>& out) {
  using Kind = PlatformMessage::Kind;
  PlatformMessage m;
  std::vector<std::int32_t> n;
  std::string title;
  auto click = [&](std::int32_t h, std::int32_t v) {
    out.push_back(Mouse(Kind::ButtonDown, h, v, modifiers, title));
    out.push_back(Mouse(Kind::ButtonUp, h, v, modifiers, title));
  };
  if (Place(token, "CLICK", 2, title, n)) {
    click(n[0], n[1]);
    return true;
  }
  if (Place(token, "DCLICK", 2, title, n)) {
    click(n[0], n[1]);
    click(n[0], n[1]);
    return true;
  }
  if (Place(token, "DRAG", 4, title, n)) {
    out.push_back(Mouse(Kind::ButtonDown, n[0], n[1], modifiers, title));
    out.push_back(Mouse(Kind::MouseMove, n[0] + n[2], n[1] + n[3], modifiers, title));
    out.push_back(Mouse(Kind::ButtonUp, n[0] + n[2], n[1] + n[3], modifiers, title));
    return true;
  }
  if (Place(token, "MOVE", 2, title, n)) {
    out.push_back(Mouse(Kind::MouseMove, n[0], n[1], modifiers, title));
    return true;
  }
  if (token.size() > 5 && EqualCaseless(token.substr(0, 5), "WAIT@")) {
    if (!NumberList(token.substr(5), 1, 6, false, n) || n[0] < 1 || n[0] > kMaxWait) return false;
    m.kind = Kind::Timer;
    m.waitMs = static_cast<std::uint32_t>(n[0]);
    m.keyState = modifiers;
    out.push_back(m);
    return true;
  }
  const bool centre = EqualCaseless(token, "CLICK"), twice = EqualCaseless(token, "DCLICK");
  if (centre || twice) {
    for (int k = 0; k < (twice ? 2 : 1); ++k) {
      m.kind = Kind::ButtonDown;
      m.button = 1;
      m.buttonFlags = 1 | ButtonFlags(modifiers);
      m.keyState = modifiers;
      m.where = kFrontCentre;
      out.push_back(m);
      m.kind = Kind::ButtonUp;
      m.buttonFlags = ButtonFlags(modifiers);
      out.push_back(m);
    }
    return true;
  }
  if (modifiers != 0) return false;
  if (token.size() > 5 && EqualCaseless(token.substr(0, 5), "MENU@")) {
    std::string path(token.substr(5));
    const std::size_t slash = path.find('/');
    if (slash == 0 || slash == std::string::npos || slash + 1 == path.size()) return false;
    std::replace(path.begin(), path.end(), '_', ' ');
    m.kind = Kind::MenuCommand;
    m.menuPath = path;
    out.push_back(m);
    return true;
  }
  if (token.size() > 7 && EqualCaseless(token.substr(0, 7), "RESIZE@")) {
    if (!NumberList(token.substr(7), 2, 5, false, n) || n[0] < 1 || n[1] < 1) return false;
    m.kind = Kind::FrameSized;
    m.where = Toolbox::Point{n[0], n[1]};
    out.push_back(m);
    return true;
  }
  if (Place(token, "PLACE", 4, title, n)) {
    if (n[2] < 1 || n[3] < 1) return false;
    m.kind = Kind::Moved;
    m.place = true;
    m.where = Toolbox::Point{n[0], n[1]};
    m.size = Toolbox::Point{n[2], n[3]};
    m.windowTitle = title;
    out.push_back(m);
    return true;
  }
  if (EqualCaseless(token, "CLOSEBOX")) {
    m.kind = Kind::Close;
  } else if (EqualCaseless(token, "FRAMECLOSE")) {
    m.kind = Kind::FrameClose;
  } else if (EqualCaseless(token, "FRAMEDESTROY")) {
    m.kind = Kind::FrameClose;
    m.destroyed = true;
  } else {
    return false;
  }
  out.push_back(m);
  return true;
}

bool Parse(std::string_view script, std::vector<PlatformMessage>& out, std::string& error) {
  std::vector<PlatformMessage> messages;
  std::size_t pos = 0;
  int number = 0;
  auto fail = [&](std::string_view token, const std::string& why) {
    error = "key script: token " + std::to_string(number) + " " + Quoted(token) + ": " + why;
    return false;
  };
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  // A script in UTF-8 (as the shell gives it) types the characters of the set.
  const bool utf8 = Charset::Classify(script) != Charset::Utf8Kind::Invalid;
  constexpr std::string_view kClipboard = "CLIPBOARD";
  while (true) {
    while (pos < script.size() && blank(script[pos])) ++pos;
    if (pos >= script.size()) break;
    ++number;
    const std::size_t start = pos;
    const bool clipboard =
        script.size() - pos > kClipboard.size() &&
        EqualCaseless(script.substr(pos, kClipboard.size()), kClipboard) &&
        (script[pos + kClipboard.size()] == '\'' || script[pos + kClipboard.size()] == '"');
    if (clipboard) pos += kClipboard.size();
    const char quote = script[pos];
    if (quote == '\'' || quote == '"') {
      std::string text;
      ++pos;
      bool closed = false;
      while (pos < script.size()) {
        if (script[pos] == quote) {
          if (pos + 1 < script.size() && script[pos + 1] == quote) {
            text += quote;
            pos += 2;
            continue;
          }
          ++pos;
          closed = true;
          break;
        }
        text += script[pos++];
      }
      const std::string_view token = script.substr(start, pos - start);
      if (!closed) return fail(token, "the text has no closing quote");
      if (pos < script.size() && !blank(script[pos]))
        return fail(script.substr(start, pos - start + 1), "a blank must follow the closing quote");
      if (clipboard) {
        PlatformMessage m;
        m.kind = PlatformMessage::Kind::ClipboardText;
        m.text = utf8 ? text : Charset::ToUtf8(text);
        messages.push_back(std::move(m));
        continue;
      }
      std::string typed;
      if (utf8)
        Charset::FromUtf8(text, typed);
      else
        typed = std::move(text);
      for (char c : typed) {
        KeyPress press;
        if (!PressForCharacter(c, press))
          return fail(token, "the text holds a control character no key types");
        AppendMessages(press, messages);
      }
      continue;
    }
    while (pos < script.size() && !blank(script[pos])) ++pos;
    std::string_view token = script.substr(start, pos - start);
    std::string_view rest = token;
    std::uint32_t modifiers = 0;
    while (rest.size() > 2 && rest[1] == '-') {
      const char p = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
      const std::uint32_t bit = p == 'C' ? kControl : p == 'S' ? kShift : p == 'A' ? kAlt : 0;
      if (bit == 0) break;
      modifiers |= bit;
      rest.remove_prefix(2);
    }
    if (AppendAction(rest, modifiers, messages)) continue;
    if (rest.size() == 2 && rest[1] == '-' && std::strchr("CSAcsa", rest[0]) != nullptr)
      return fail(token, "a prefix must be followed by a key");
    KeyPress press;
    if (rest.size() == 1 && IsAlnum(rest[0])) {
      if (modifiers == 0) {
        if (!PressForCharacter(rest[0], press)) return fail(token, "not a key");
      } else {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
        press.vkey = static_cast<unsigned char>(upper);
        press.keyState = modifiers;
        press.ch = KeyCharacter(press.vkey, modifiers);
      }
    } else {
      std::uint32_t vkey = 0;
      bool extended = false;
      if (!LookUpName(rest, vkey, extended)) {
        if (rest.size() == 1)
          return fail(token, "only letters and digits may be written without quotes");
        return fail(token, "unknown key name");
      }
      press.vkey = vkey;
      press.extended = extended;
      press.keyState = modifiers;
      press.ch = KeyCharacter(vkey, modifiers);
    }
    AppendMessages(press, messages);
  }
  out.insert(out.end(), messages.begin(), messages.end());
  return true;
}

} // namespace KeyScript
