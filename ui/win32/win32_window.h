#pragma once

// The tool's one window with plain Win32, built from the form's description: a fixed tool window whose
// controls are placed in twips scaled by the monitor's DPI, in the dialog font. Its handlers are
// formOmbrixMerger's.

// windows.h comes first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <map>
#include <string>
#include <vector>

#include "ui/merger_form.h"

namespace ombrix {

class Win32MergerWindow final : public FormControls {
 public:
  Win32MergerWindow(HINSTANCE instance, const WindowServices& services);
  ~Win32MergerWindow() override;
  Win32MergerWindow(const Win32MergerWindow&) = delete;
  Win32MergerWindow& operator=(const Win32MergerWindow&) = delete;

  // Creates the window and its controls, hidden; false when Windows refuses.
  bool create();
  // Centres the window on its monitor's work area and shows it with the focus in the first path box.
  void showCentred();
  // Runs the messages of the program until the window has closed.
  static int runMessageLoop(HWND window);

  formOmbrixMerger& form() { return form_; }
  HWND handle() const { return window_; }
  HWND control(std::string_view name) const;

  std::string text(std::string_view control) const override;
  void setText(std::string_view control, std::string_view text) override;
  void repaintNow(std::string_view control) override;
  bool isSelected(std::string_view optionButton) const override;
  DialogOwner owner() override { return window_; }

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void createControls();
  void addTooltip();
  void applyDpi(int dpi);
  void resizeClientArea();
  void onCommand(int id, int notification);
  void onDropFiles(HDROP drop);
  LRESULT colourOfStatic(HDC dc, HWND control);
  void drawLogo(const DRAWITEMSTRUCT& item);
  void loadLogo();

  HINSTANCE instance_;
  formOmbrixMerger form_;
  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND focusBeforeDeactivation_ = nullptr;
  int dpi_ = 96;
  HFONT dialogFont_ = nullptr;
  HFONT creditFont_ = nullptr;
  std::map<std::string, HWND, std::less<>> controls_;
  // The logo, 32-bit with alpha, bottom-up.
  BITMAPINFOHEADER logoHeader_{};
  std::vector<unsigned char> logoPixels_;
};

}  // namespace ombrix
