// The one window base of the client: dialogs, custom windows (the domain grid, its canvas and
// cells, the progress window) and subclassed controls all derive from CWindowBase. It finds its
// object for every message of the window, the very first included, routes the notifications
// of child controls back to the controls' own objects (reflection) and can subclass a window
// that someone else made. docs/window-framework.md explains how to use it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace quorin::client {

// Registers a window class of the program's module whose windows run CWindowBase objects, once
// per process; later calls with the same name return the class already there. `cursor` and
// `background` may be null (no class cursor: the window sets it; no brush: the window paints
// its whole background). Returns false when the class could not be registered.
bool RegisterWindowClass(const wchar_t* name, UINT style, HCURSOR cursor, HBRUSH background);

class CWindowBase {
 public:
  CWindowBase();
  // Destroys a window that still exists and gives back a subclassed one.
  virtual ~CWindowBase();
  CWindowBase(const CWindowBase&) = delete;
  CWindowBase& operator=(const CWindowBase&) = delete;

  // Makes a window of a class from RegisterWindowClass (or a system class, which then runs
  // only through subclassing: see Subclass). `id` is the child identifier, or the menu of a
  // top-level window. False when it could not be made or when this object has a window.
  bool CreateEx(DWORD exStyle, const wchar_t* className, std::wstring_view title, DWORD style,
                const RECT& rect, HWND parent, UINT_PTR id);

  // Runs a window made elsewhere (a dialog's control) through this object from now on; its
  // former window procedure receives what this object does not handle. False when the window
  // is not one or already has an object.
  bool Subclass(HWND window);
  // Gives the window its former procedure back and detaches it from this object.
  void Unsubclass();

  void DestroyWindow();

  HWND hwnd() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ != nullptr && ::IsWindow(hwnd_); }
  int ControlId() const { return hwnd_ != nullptr ? ::GetDlgCtrlID(hwnd_) : 0; }

  // The object that runs `window`, or null for a window without one.
  static CWindowBase* FromHandle(HWND window);

  // Helpers; texts are UTF-8.
  void SetText(std::string_view text);
  std::string Text() const;
  RECT ClientRect() const;
  void Invalidate(bool erase = false);
  // Sends WM_NOTIFY with `code` from this window to its parent; returns the parent's answer.
  LRESULT NotifyParent(int code) const;

 protected:
  // Every message of the window. Return a value when it was handled: the result of the
  // message. Nothing lets the default processing run (the former procedure of a subclassed
  // window, DefWindowProc for the others; dialogs: see CDialogBase).
  virtual std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // A notification of this window (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_CTLCOLOR...,
  // WM_HSCROLL, WM_VSCROLL) that its parent received; the parent offers it here first. Return
  // a value to answer it in the parent's place.
  virtual std::optional<LRESULT> OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The window is gone (after WM_NCDESTROY); hwnd() is null from here on.
  virtual void OnWindowGone() {}

  // The default processing of the message for this window.
  LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);

  // For CDialogBase, whose windows come from the dialog manager: attaches the object to a
  // window made for it, from the window's first message on.
  void Attach(HWND window);
  // Called for the first message of the window while a CreateEx (or a dialog creation) of
  // this object on this thread is under way; attaches the object.
  static CWindowBase* AttachCreating(HWND window);
  static void SetCreating(CWindowBase* window);
  // The reflection step of every procedure: offers a child's notification to the child's
  // object. Nothing when the message is not a notification or the child has no object.
  static std::optional<LRESULT> ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam);
  // Ends the object's tie to its window at WM_NCDESTROY.
  void Detach();

 private:
  friend bool RegisterWindowClass(const wchar_t*, UINT, HCURSOR, HBRUSH);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  WNDPROC formerProc_ = nullptr;  // set for subclassed windows
};

}  // namespace quorin::client
