#include "ui/win32/win32_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "ui/form_description.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/win32_services.h"

namespace ombrix {
namespace {

constexpr int kFirstControlId = 100;

int controlId(const form::Control& control) {
  return kFirstControlId + static_cast<int>(&control - form::kControls.data());
}

struct WindowKind {
  const wchar_t* className;
  DWORD style;
  DWORD extendedStyle;
};

WindowKind kindOf(const form::Control& control) {
  switch (control.kind) {
    case form::Kind::Picture:
      return {L"STATIC", SS_OWNERDRAW, 0};
    case form::Kind::Label:
      // The credit label reports clicks.
      return {L"STATIC", static_cast<DWORD>(SS_LEFT | (control.name == form::kCreditLabel ? SS_NOTIFY : 0)),
              0};
    case form::Kind::TextBox:
      return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case form::Kind::Button:
      return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case form::Kind::Frame:
      return {L"BUTTON", BS_GROUPBOX, WS_EX_CONTROLPARENT};
    case form::Kind::OptionButton:
      // The first option button starts the group that the arrow keys move in, and is its one tab stop.
      return {L"BUTTON",
              static_cast<DWORD>(BS_AUTORADIOBUTTON |
                                 (control.name == form::kSelectedAtStart ? WS_GROUP | WS_TABSTOP : 0)),
              0};
  }
  return {L"STATIC", 0, 0};
}

int pointsToPixels(double points, int dpi) {
  return static_cast<int>(points * dpi / 72.0 + 0.5);
}

HFONT createFont(const wchar_t* face, int pixels, bool underline) {
  return CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                     face);
}

// The height that text in this font needs in a box of this width, wrapped at words.
int wrappedHeight(HWND window, HFONT font, const std::wstring& text, int width) {
  HDC dc = GetDC(window);
  HGDIOBJ previous = SelectObject(dc, font);
  RECT needed{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  return needed.bottom - needed.top;
}

// The layout was drawn for the 8-point dialog font, in which the description fills its box in three lines.
// Where the system's dialog font runs wider (Wine's stand-in for it does), the size steps down until the
// description fits, so that every text keeps to its box.
HFONT dialogFontThatFits(HWND window, int dpi) {
  const std::wstring description = toWide(form::kDescription);
  const form::Rect box = form::pixels(form::control(form::kDescriptionLabel).twips, dpi);
  const int largest = pointsToPixels(8, dpi);
  const int smallest = pointsToPixels(6.5, dpi);
  for (int pixels = largest;; --pixels) {
    HFONT font = createFont(L"MS Shell Dlg", pixels, false);
    if (pixels <= smallest || wrappedHeight(window, font, description, box.width) <= box.height) {
      return font;
    }
    DeleteObject(font);
  }
}

// The frame holds the option buttons. A group box paints only its border and caption, so it paints its
// inside itself and gives its option buttons the window's background.
LRESULT CALLBACK frameProcedure(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT inside{};
      GetClientRect(frame, &inside);
      FillRect(reinterpret_cast<HDC>(wParam), &inside, GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_NCDESTROY:
      RemoveWindowSubclass(frame, frameProcedure, 0);
      return DefSubclassProc(frame, message, wParam, lParam);
    default:
      return DefSubclassProc(frame, message, wParam, lParam);
  }
}

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExtendedStyle = WS_EX_TOOLWINDOW | WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT;

}  // namespace

Win32MergerWindow::Win32MergerWindow(HINSTANCE instance, const WindowServices& services)
    : instance_(instance), form_(*this, services) {}

Win32MergerWindow::~Win32MergerWindow() {
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
  DeleteObject(dialogFont_);
  DeleteObject(creditFont_);
}

bool Win32MergerWindow::create() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(OMBRIX_ICON));
  windowClass.hIconSm =
      static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(OMBRIX_ICON), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when a window of this program registered it before

  const std::wstring caption = toWide(form::kCaption);
  window_ = CreateWindowExW(kWindowExtendedStyle, kWindowClass, caption.c_str(), kWindowStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance_, this);
  if (window_ == nullptr) {
    return false;
  }
  loadLogo();
  createControls();
  addTooltip();
  applyDpi(static_cast<int>(GetDpiForWindow(window_)));
  SendMessageW(control(form::kSelectedAtStart), BM_SETCHECK, BST_CHECKED, 0);
  return true;
}

void Win32MergerWindow::createControls() {
  // Windows keeps the controls in the order Tab visits them, from the top down: labels overlap the boxes
  // under them by a few pixels and stay below them.
  for (const form::Control* control : form::controlsInTabOrder()) {
    const WindowKind kind = kindOf(*control);
    HWND parent = control->parent.empty() ? window_ : this->control(control->parent);
    const std::wstring text = toWide(control->text);
    HWND created = CreateWindowExW(kind.extendedStyle, kind.className, text.c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(*control))),
                                   instance_, nullptr);
    controls_.emplace(std::string(control->name), created);
    if (control->kind == form::Kind::Frame) {
      SetWindowSubclass(created, frameProcedure, 0, 0);
    }
  }
}

void Win32MergerWindow::addTooltip() {
  tooltip_ =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
  static const std::wstring tip = toWide(form::homePageTooltip());
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(control(form::kCreditLabel));
  tool.lpszText = const_cast<wchar_t*>(tip.c_str());
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// Fonts and places for the monitor's DPI: the layout's twips at 1440 to the inch.
void Win32MergerWindow::applyDpi(int dpi) {
  dpi_ = dpi;
  HFONT oldDialogFont = dialogFont_;
  HFONT oldCreditFont = creditFont_;
  // The dialog font of the layout, not the larger message font: Label1's three lines must fit its box.
  dialogFont_ = dialogFontThatFits(window_, dpi);
  const std::wstring creditFace = toWide(form::kCreditFont);
  creditFont_ = createFont(creditFace.c_str(), pointsToPixels(form::kCreditPointSize, dpi), true);
  for (const form::Control& control : form::kControls) {
    HWND handle = this->control(control.name);
    const form::Rect place = form::pixels(control.twips, dpi);
    SetWindowPos(handle, nullptr, place.left, place.top, place.width, place.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    const HFONT font = control.name == form::kCreditLabel ? creditFont_ : dialogFont_;
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  DeleteObject(oldDialogFont);
  DeleteObject(oldCreditFont);
  resizeClientArea();
}

void Win32MergerWindow::resizeClientArea() {
  const form::Rect client = form::pixels(form::kClientTwips, dpi_);
  RECT frame{0, 0, client.width, client.height};
  AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExtendedStyle, static_cast<UINT>(dpi_));
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Where the frame does not scale with the DPI as the calculation expects (Wine's does not), the
  // difference is made up once from the client area the window really has.
  RECT actual{};
  GetClientRect(window_, &actual);
  GetWindowRect(window_, &frame);
  if (actual.right != client.width || actual.bottom != client.height) {
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left + client.width - actual.right,
                 frame.bottom - frame.top + client.height - actual.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32MergerWindow::showCentred() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT frame{};
  GetWindowRect(window_, &frame);
  const RECT& work = monitor.rcWork;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  SetFocus(control(form::kFocusAtStart));
}

int Win32MergerWindow::runMessageLoop(HWND window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move between the controls as in a dialog.
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

HWND Win32MergerWindow::control(std::string_view name) const {
  const auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : found->second;
}

std::string Win32MergerWindow::text(std::string_view name) const {
  HWND handle = control(name);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(handle)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(handle, text.data(), static_cast<int>(text.size()))));
  return fromWide(text);
}

void Win32MergerWindow::setText(std::string_view name, std::string_view text) {
  SetWindowTextW(control(name), toWide(text).c_str());
}

void Win32MergerWindow::repaintNow(std::string_view name) {
  HWND handle = control(name);
  InvalidateRect(handle, nullptr, TRUE);
  UpdateWindow(handle);
}

bool Win32MergerWindow::isSelected(std::string_view optionButton) const {
  return SendMessageW(control(optionButton), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

LRESULT CALLBACK Win32MergerWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32MergerWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32MergerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->handleMessage(message, wParam, lParam)
                         : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32MergerWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      return colourOfStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
      drawLogo(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_ACTIVATE:
      // As a dialog does: the control that had the focus gets it back when the window is active again,
      // after a message box or a file dialog.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focused = GetFocus();
        focusBeforeDeactivation_ = focused != nullptr && IsChild(window_, focused) ? focused : nullptr;
      } else if (focusBeforeDeactivation_ != nullptr) {
        SetFocus(focusBeforeDeactivation_);
        return 0;
      }
      break;
    case WM_DROPFILES:
      onDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_DPICHANGED: {
      applyDpi(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE: {
      int cancel = 0;
      form_.Form_Unload(cancel);
      DestroyWindow(window_);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void Win32MergerWindow::onCommand(int id, int notification) {
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(form::kControls.size())) {
    return;
  }
  const std::string_view name = form::kControls[static_cast<std::size_t>(index)].name;
  if (notification == BN_CLICKED && name == form::browseButton(1)) {
    form_.btnBrowse_Click(1);
  } else if (notification == BN_CLICKED && name == form::browseButton(2)) {
    form_.btnBrowse_Click(2);
  } else if (notification == BN_CLICKED && name == form::kMergeButton) {
    form_.Command1_Click();
  } else if (notification == STN_CLICKED && name == form::kCreditLabel) {
    form_.Label4_Click();
  }
}

// A file dropped from Explorer onto a path box fills that box.
void Win32MergerWindow::onDropFiles(HDROP drop) {
  POINT point{};
  DragQueryPoint(drop, &point);
  for (int index = 1; index <= 2; ++index) {
    HWND box = control(form::textBox(index));
    RECT place{};
    GetWindowRect(box, &place);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    if (PtInRect(&place, point)) {
      std::vector<std::string> files;
      for (UINT i = 0; i < DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); ++i) {
        std::wstring file(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        file.resize(DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size())));
        files.push_back(fromWide(file));
      }
      form_.filesDropped(index, files);
    }
  }
  DragFinish(drop);
}

// The credit label is blue; every label shows the window's background.
LRESULT Win32MergerWindow::colourOfStatic(HDC dc, HWND control) {
  if (control == this->control(form::kCreditLabel)) {
    SetTextColor(dc, RGB(form::kCreditRed, form::kCreditGreen, form::kCreditBlue));
  }
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void Win32MergerWindow::loadLogo() {
  HRSRC found = FindResourceW(instance_, MAKEINTRESOURCEW(OMBRIX_LOGO), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found != nullptr ? LoadResource(instance_, found) : nullptr;
  const auto* bytes = loaded != nullptr ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  const DWORD size = found != nullptr ? SizeofResource(instance_, found) : 0;
  if (bytes == nullptr || size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) {
    return;
  }
  BITMAPFILEHEADER file{};
  std::memcpy(&file, bytes, sizeof(file));
  std::memcpy(&logoHeader_, bytes + sizeof(file), sizeof(logoHeader_));
  const std::size_t pixelBytes = static_cast<std::size_t>(logoHeader_.biWidth) * 4 *
                                 static_cast<std::size_t>(std::abs(logoHeader_.biHeight));
  if (logoHeader_.biBitCount != 32 || file.bfOffBits + pixelBytes > size) {
    return;
  }
  logoPixels_.assign(bytes + file.bfOffBits, bytes + file.bfOffBits + pixelBytes);
}

// The logo's pixels blended over the window's background, stretched to fill the picture.
void Win32MergerWindow::drawLogo(const DRAWITEMSTRUCT& item) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if (logoPixels_.empty()) {
    return;
  }
  const COLORREF background = GetSysColor(COLOR_BTNFACE);
  const int backgroundBgr[] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  std::vector<unsigned char> blended(logoPixels_.size());
  for (std::size_t i = 0; i < logoPixels_.size(); i += 4) {
    const int alpha = logoPixels_[i + 3];
    for (std::size_t c = 0; c < 3; ++c) {
      blended[i + c] =
          static_cast<unsigned char>((logoPixels_[i + c] * alpha + backgroundBgr[c] * (255 - alpha)) / 255);
    }
  }
  BITMAPINFO info{};
  info.bmiHeader = logoHeader_;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(item.hDC, HALFTONE);
  StretchDIBits(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
                item.rcItem.bottom - item.rcItem.top, 0, 0, logoHeader_.biWidth,
                std::abs(logoHeader_.biHeight), blended.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace ombrix
