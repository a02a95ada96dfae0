#pragma once
// Names for the property tests of the name rules: drawn from the whole
// Latin-1 range (0x01 to 0xFF), or built on one of Windows' traps (device
// names with every digit, CONIN$, trailing dots and blanks, "." and "..",
// C1 bytes, forbidden characters, long names). Latin-1 bytes, as a script
// holds them.

#include <random>
#include <string>
#include <string_view>

class NameGenerator {
 public:
  explicit NameGenerator(unsigned seed) : random_(seed) {}

  std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(random_() % bound); }

  // A name with every character Windows allows in one: printable ASCII but
  // the forbidden ones, and 0xA0 to 0xFF. It neither ends in a dot or a
  // blank nor is a device name, so every such name is a sound file name.
  std::string SoundName() {
    static const std::string kAllowed = [] {
      std::string allowed;
      for (int byte = 0x20; byte < 0x7F; ++byte) {
        if (std::string_view("<>:\"|?*\\/").find(static_cast<char>(byte)) == std::string_view::npos) {
          allowed.push_back(static_cast<char>(byte));
        }
      }
      for (int byte = 0xA0; byte <= 0xFF; ++byte) allowed.push_back(static_cast<char>(byte));
      return allowed;
    }();
    std::string name;
    for (std::size_t i = 0, length = 1 + Below(10); i < length; ++i) {
      name.push_back(kAllowed[Below(kAllowed.size())]);
    }
    // "x" keeps it clear of devices (CON...) and of a dot or blank at its end.
    return "x" + name + "x";
  }

  // Any name, or one of the traps.
  std::string AnyName() {
    switch (Below(9)) {
      case 0:
        return DeviceName();
      case 1: {
        static const char* const kEnds[] = {".", " ", "\t", "..", ". ", " .", "...", "\xA0"};
        return Letters() + kEnds[Below(std::size(kEnds))];
      }
      case 2:
        return Below(2) == 0 ? "." : "..";
      case 3:
        return Letters() + static_cast<char>(0x80 + Below(0x20)) + Letters();
      case 4:
        return Letters() + "<>:\"|?*"[Below(7)] + Letters();
      case 5:
        return std::string(100 + Below(150), static_cast<char>('a' + Below(26)));
      case 6:
        return SoundName();
      default: {
        std::string name;
        for (std::size_t i = 0, length = 1 + Below(12); i < length; ++i) {
          name.push_back(static_cast<char>(1 + Below(0xFF)));
        }
        return name;
      }
    }
  }

 private:
  std::string Letters() {
    std::string letters;
    for (std::size_t i = 0, length = 1 + Below(6); i < length; ++i) {
      letters.push_back(static_cast<char>((Below(2) == 0 ? 'a' : 'A') + Below(26)));
    }
    return letters;
  }

  // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM and LPT with any digit (0 and
  // the superscripts included), in mixed case, with blanks and an extension
  // or not.
  std::string DeviceName() {
    static const char* const kBases[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "COM", "LPT"};
    static const std::string_view kDigits = "0123456789\xB9\xB2\xB3";
    std::string name = kBases[Below(std::size(kBases))];
    if (name == "COM" || name == "LPT") name.push_back(kDigits[Below(kDigits.size())]);
    for (char& letter : name) {
      if (letter >= 'A' && letter <= 'Z' && Below(2) == 0) letter = static_cast<char>(letter + 32);
    }
    name += std::string(Below(3) == 0 ? Below(3) : 0, ' ');
    if (Below(2) == 0) name += ".txt";
    return name;
  }

  std::mt19937 random_;
};
