#pragma once
#include <cstdint>

// A modal dialog described by a template table and driven by a handler that
// reaches its controls by id only, so the handler runs the same on the real
// toolkit and on a recording double in tests.

// Messages and codes a dialog handler receives (the classic dialog numbering).
enum : unsigned {
    DLG_INITDIALOG = 0x0110,  // once, before the dialog is first shown
    DLG_COMMAND = 0x0111,     // wParam: control id in the low 16 bits, notification code above
};
enum : int {
    DLG_IDCANCEL = 2,         // command sent by Escape and by the window manager's close request
    DLG_BN_CLICKED = 0,       // button notification
    DLG_CBN_SELCHANGE = 1,    // drop-down list notification: the player picked an item
    DLG_FAILED = -1,          // result of a dialog that could not be shown at all
};

struct DialogRect {
    int left, top, right, bottom;
};

// The controls of one open dialog, addressed by their template ids.
class DialogControls {
public:
    virtual ~DialogControls() = default;
    virtual void checkButton(int id, bool ticked) = 0;                    // tick or untick a check box
    virtual bool isButtonChecked(int id) const = 0;                       // is the check box ticked
    virtual void showControl(int id, bool visible) = 0;                   // show or hide a control
    virtual void setCaption(const char *text) = 0;                        // the dialog's title
    virtual void setControlText(int id, const char *text) = 0;            // a check box's, label's or button's text
    virtual void listClear(int id) = 0;                                   // remove every item, select none
    virtual int listAppend(int id, const char *text) = 0;                 // add an item at the end; its index
    virtual void listSetItemData(int id, int index, intptr_t data) = 0;   // attach a value to an item
    virtual void listSetSelection(int id, int index) = 0;                 // select an item (-1: none)
    virtual int listSelection(int id) const = 0;                          // index of the selected item, -1 when none
    virtual void endDialog(int result) = 0;                               // close the dialog; the run returns result
    virtual int captionHeight() const = 0;                                // height of a window caption bar in pixels
    virtual DialogRect dialogUnitsToPixels(DialogRect units) const = 0;   // scale by the dialog font's metrics
    virtual int screenWidth() const = 0;                                  // size of the screen the dialog opens on
    virtual int screenHeight() const = 0;
    virtual void moveDialog(int x, int y, int width, int height) = 0;     // place and size the whole dialog window
};

// The handler: returns true when it handled the message.
using DialogHandler = bool (*)(DialogControls *dialog, unsigned message, uintptr_t wParam, intptr_t lParam);

enum class ControlKind { Picture, CheckBox, Label, DropList, DefaultButton, Button };

// A picture compiled into the program: top-down rows of R, G, B bytes.
struct DialogBitmap {
    int width, height;
    const unsigned char *rgb;
};

// One control of a template; positions and sizes in dialog units.
struct DialogControl {
    int id;              // -1 for a control nobody addresses
    ControlKind kind;
    const char *text;    // caption, or nullptr for a picture
    int x, y, width, height;
    int bitmap;          // for pictures: the number given to dialogBitmap()
};

struct DialogTemplate {
    const char *caption;
    int width, height;          // dialog units
    const char *fontFamily;
    int fontPoints;
    const DialogControl *controls;
    int controlCount;
};

DialogBitmap dialogBitmap(int number);                                  // picture of a Picture control; width 0 when none
DialogBitmap dialogIcon();                                              // the program's icon, RGBA rows (rgb holds 4 bytes a pixel)
int runDialogGtk(const DialogTemplate &dialog, DialogHandler handler);  // modal run; the result given to endDialog, or DLG_FAILED
