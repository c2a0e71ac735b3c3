#pragma once

#include <cstdint>
#include <string>

namespace meterstation {

enum class ListId { List1, List2 };
enum class TextId { Text1, Text2, Text3, Text4 };
enum class LabelId { Label1, Label3, Label4 };
enum class CheckId { Check1, Check2 };
enum class ButtonId { Command1, Command2, Command3, Command4, Command5, Command6 };

// Colour values are red + 256 * green + 65536 * blue.
inline constexpr std::uint32_t kLampRed = 255;
inline constexpr std::uint32_t kLampYellow = 65535;
inline constexpr std::uint32_t kLampGreen = 65280;

// The controls of the station's one window, as the logic uses them.
// Texts are one byte a character.
class WindowControls {
 public:
  virtual ~WindowControls() = default;

  virtual void addItem(ListId list, const std::string& item) = 0;
  virtual std::string text(TextId box) const = 0;
  virtual void setText(TextId box, const std::string& text) = 0;
  virtual void setCaption(LabelId label, const std::string& caption) = 0;
  virtual void setLampColour(std::uint32_t colour) = 0;
  // 1 ticked, 0 not ticked.
  virtual int checkValue(CheckId box) const = 0;
  virtual void setCheckValue(CheckId box, int value) = 0;
  virtual void setEnabled(ButtonId button, bool enabled) = 0;

  // The chosen drive: a drive letter with its colon and backslash on
  // Windows, a mount point's root path on Linux.
  virtual std::string drive() const = 0;
  // The open directory of Dir1: its full path, without a trailing separator
  // except at a drive's root.
  virtual std::string dirPath() const = 0;
  // Shows the given directory, or for a drive's root the first directory
  // DriveDirectories offers that can be read, and raises Dir1_Change. Each
  // directory that cannot be read raises Dir1_ReadError; when none can, the
  // list stays where it was.
  virtual void setDirPath(const std::string& path) = 0;
  // Why the directory list last failed to open a directory, for the
  // operator: "cannot read directory <path>: <reason>".
  virtual std::string dirReadError() const = 0;

  virtual void beep() = 0;
  // Ends the program at once: the window closes and no later event runs.
  virtual void endProgram() = 0;
};

}  // namespace meterstation
