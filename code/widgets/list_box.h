// List boxes: a drop-down list whose button face shows the selected entry's text (cut to fit) and icon.
// Choosing an entry in the pop-up or turning the wheel over the box changes the selection; each change that
// was not made quietly is reported once, in the box's next pass, through its selection callback.
#pragma once
#include "types.h"
#include "menu.h"

class WM_LIST_BOX;

// Reports a change of selection; the result becomes the box's pass result.
typedef int (*WM_LIST_BOX_CALLBACK)(WM_LIST_BOX* box, INT_U32 user1, INT_U32 user2);

// The effects a list box's pop-up gets when a constructor is given none (the menu pop-up's values).
extern WM_DIALOG_EFFECTS list_box_popup_effects;

class WM_LIST_BOX : public WM_MENU {
public:
  INT_S16 selected;         // the selected entry; -1 none
  INT_S16 reported;         // the selection the last pass looked at
  INT_U8 notify;            // the next change is reported
  INT_U8 resized;           // the shown text is cut again in the next pass
  INT_S32 value;            // the selected entry's value (0 before any entry is shown)
  INT_U8 show_icon;         // the selected entry's icon is copied onto the box
  INT_U8 pointer_was_over;  // the pointer was over the box in the last pass
  WM_LIST_BOX_CALLBACK selection_callback;
  INT_U32 selection_user1;
  INT_U32 selection_user2;
  INT_S16 entry_count;      // entries and separator rows; entry i is row i of the pop-up

  // From style sets; the arguments marked unused are taken and left alone.
  WM_LIST_BOX(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S32 unused1, INT_S16 count, const char** texts,
              INT_S16 selected, WM_STYLE_SET* button_style, WM_STYLE_SET* popup_style, WM_STYLE_SET* unused2,
              WM_STYLE_SET* even_entry_style, WM_STYLE_SET* odd_entry_style, WM_STYLE_SET* up_arrow_style,
              WM_STYLE_SET* down_arrow_style, WM_LIST_BOX_CALLBACK selection_callback, INT_U32 selection_user1,
              INT_U32 selection_user2, WM_DIALOG_EFFECTS* effects);
  // The form the grid's list-box cells use.
  WM_LIST_BOX(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S32 unused1, INT_S16 count, const char** texts,
              INT_S16 selected, WM_STYLE_SET* button_style, WM_STYLE_SET* unused2, WM_STYLE_SET* popup_style,
              WM_STYLE_SET* unused3, WM_STYLE_SET* even_entry_style, WM_LIST_BOX_CALLBACK selection_callback,
              INT_U32 selection_user1, INT_U32 selection_user2, WM_STYLE_SET* odd_entry_style,
              WM_DIALOG_EFFECTS* effects);
  // From colours: the text left-justified with a down arrow.
  WM_LIST_BOX(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S32 unused1, INT_S16 count, const char** texts,
              INT_S16 selected, const COLOUR* background, const COLOUR* text, const COLOUR* highlight,
              INT_U8 visible, WM_LIST_BOX_CALLBACK selection_callback, INT_U32 selection_user1,
              INT_U32 selection_user2, WM_DIALOG_EFFECTS* effects);
  ~WM_LIST_BOX() override;

  WM_RESULT process() override;
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;

  // The entries of the texts (entry i has value i) and the quiet first selection.
  void init(INT_S16 count, const char** texts, INT_S16 selected);
  // The button face's text, cut from its end until it fits between the text margins.
  void set_shown_text(const char* text);
  // Selects an entry (clamped to the entries); quiet changes are not reported.
  void select(INT_S16 index, bool quiet);
  // Selects the first entry whose value is value; nothing when none has it.
  void select_value(INT_S32 value, bool quiet);
  // Value, icon and text from the selected entry, the selection unchanged.
  void show_selection();
  // One more entry (its value, or its index without use_value), or a sub-menu entry; null for a null
  // text or an entry the pop-up refuses.
  WM_BUTTON* add_item(const char* text, INT_S32 value, bool submenu, bool use_value, bool separator_before);
  // The entries' event callback: user1 the box's handle.
  static WM_RESULT on_entry(WM_SCREEN_OBJECT* entry, INT_U32 box, INT_U32 user2, int value);
};
