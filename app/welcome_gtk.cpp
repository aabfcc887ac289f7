// Dialog templates shown with GTK 3: every control sits at its template
// position, converted from dialog units through the dialog font's metrics.
#include "dialog_controls.h"

#include "KWindow.h"

#include <gtk/gtk.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Template sizes leave no room for the theme's roomy padding.
const char *const COMPACT_CSS =
    ".brolix-dialog button { padding: 0 6px; min-height: 0; min-width: 0; }"
    ".brolix-dialog checkbutton { padding: 0; }";

const int kNoControl = -1;

const char *const ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// units * base / divisor, rounded to the nearest pixel.
int scaleUnits(int units, int base, int divisor) {
    long product = long(units) * base;
    return int(product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor));
}

GdkRectangle primaryMonitorArea() {
    GdkDisplay *display = gdk_display_get_default();
    GdkMonitor *monitor = gdk_display_get_primary_monitor(display);
    if (!monitor)
        monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle area = {0, 0, 640, 480};
    if (monitor)
        gdk_monitor_get_geometry(monitor, &area);
    return area;
}

void applyStyle(const DialogTemplate &dialog) {
    static bool applied = false;
    if (applied)
        return;
    applied = true;
    // Sans stands in when the template's family is not installed.
    std::string css = std::string(COMPACT_CSS) + ".brolix-dialog, .brolix-dialog * { font-family: \"" +
                      dialog.fontFamily + "\", Sans; font-size: " + std::to_string(dialog.fontPoints) + "pt; }";
    GtkCssProvider *provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

class GtkDialogControls final : public DialogControls {
public:
    GtkDialogControls(const DialogTemplate &dialog, DialogHandler handler);
    ~GtkDialogControls() override;
    GtkDialogControls(const GtkDialogControls &) = delete;
    GtkDialogControls &operator=(const GtkDialogControls &) = delete;
    int run();

    void checkButton(int id, bool ticked) override;
    bool isButtonChecked(int id) const override;
    void showControl(int id, bool visible) override;
    void setCaption(const char *text) override;
    void setControlText(int id, const char *text) override;
    void listClear(int id) override;
    int listAppend(int id, const char *text) override;
    void listSetItemData(int id, int index, intptr_t data) override;
    void listSetSelection(int id, int index) override;
    int listSelection(int id) const override;
    void endDialog(int result) override;
    int captionHeight() const override;
    DialogRect dialogUnitsToPixels(DialogRect units) const override;
    int screenWidth() const override;
    int screenHeight() const override;
    void moveDialog(int x, int y, int width, int height) override;

private:
    void measureFont(const DialogTemplate &dialog);
    void focusFirst();
    GtkWidget *createControl(const DialogControl &control);
    void addControl(const DialogControl &control);
    GtkWidget *control(int id) const;
    void command(int id, int code);

    static void onClicked(GtkWidget *widget, gpointer self);
    static void onToggled(GtkWidget *widget, gpointer self);
    static void onListChanged(GtkWidget *widget, gpointer self);
    static gboolean onDeleteEvent(GtkWidget *, GdkEvent *, gpointer self);
    static gboolean onKeyPress(GtkWidget *window, GdkEventKey *event, gpointer self);
    static gboolean onKeyRelease(GtkWidget *, GdkEventKey *event, gpointer self);

    DialogHandler handler_;
    GtkWidget *window_;
    GtkWidget *layout_;
    GMainLoop *loop_;
    std::map<int, GtkWidget *> controls_;
    std::vector<GtkWidget *> order_;   // as the template lists them
    std::map<int, std::vector<intptr_t>> itemData_;
    int baseX_ = 8, baseY_ = 16;   // pixels per 4 horizontal and per 8 vertical dialog units
    int result_ = 0;
    bool ended_ = false;
    bool quiet_ = false;           // changes made by the handler send no notifications
    int enterFor_ = kNoControl;    // the button an Enter being held down will press
};

GtkDialogControls::GtkDialogControls(const DialogTemplate &dialog, DialogHandler handler)
    : handler_(handler), window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)), layout_(gtk_fixed_new()),
      loop_(g_main_loop_new(nullptr, FALSE)) {
    g_object_ref_sink(window_);
    GtkWindow *window = GTK_WINDOW(window_);
    gtk_window_set_title(window, dialog.caption);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_deletable(window, FALSE);   // no close box: Play or Quit end it
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "brolix-dialog");
    DialogBitmap icon = dialogIcon();
    if (icon.width > 0) {
        GdkPixbuf *pixels = gdk_pixbuf_new_from_data(icon.rgb, GDK_COLORSPACE_RGB, TRUE, 8, icon.width, icon.height,
                                                     icon.width * 4, nullptr, nullptr);
        gtk_window_set_icon(window, pixels);
        g_object_unref(pixels);
    }
    gtk_container_add(GTK_CONTAINER(window_), layout_);
    measureFont(dialog);
    for (int i = 0; i < dialog.controlCount; i++)
        addControl(dialog.controls[i]);
    gtk_widget_show(layout_);
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDeleteEvent), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(onKeyPress), this);
    g_signal_connect(window_, "key-release-event", G_CALLBACK(onKeyRelease), this);
}

GtkDialogControls::~GtkDialogControls() {
    gtk_widget_destroy(window_);
    g_object_unref(window_);
    g_main_loop_unref(loop_);
    // Let the window vanish from the screen before anything else opens.
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    gdk_display_flush(gdk_display_get_default());
}

int GtkDialogControls::run() {
    handler_(this, DLG_INITDIALOG, 0, 0);
    if (!ended_) {
        gtk_widget_show(window_);
        focusFirst();
        g_main_loop_run(loop_);
    }
    return result_;
}

// The first control of the template that takes the focus has it, wherever it lies.
void GtkDialogControls::focusFirst() {
    for (GtkWidget *widget : order_)
        if (gtk_widget_get_can_focus(widget) && gtk_widget_get_visible(widget)) {
            gtk_window_set_focus(GTK_WINDOW(window_), widget);
            return;
        }
}

// The classic base units: average width of the alphabet and the font's line height.
void GtkDialogControls::measureFont(const DialogTemplate &dialog) {
    std::string family = std::string(dialog.fontFamily) + ", Sans " + std::to_string(dialog.fontPoints);
    PangoFontDescription *font = pango_font_description_from_string(family.c_str());
    PangoLayout *layout = gtk_widget_create_pango_layout(window_, ALPHABET);
    pango_layout_set_font_description(layout, font);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    pango_font_description_free(font);
    if (width > 0 && height > 0) {
        baseX_ = (width / 26 + 1) / 2;
        baseY_ = height;
    }
}

GtkWidget *GtkDialogControls::createControl(const DialogControl &control) {
    switch (control.kind) {
    case ControlKind::Picture: {
        GtkWidget *frame = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
        DialogBitmap bitmap = dialogBitmap(control.bitmap);
        if (bitmap.width > 0) {
            GdkPixbuf *pixels = gdk_pixbuf_new_from_data(bitmap.rgb, GDK_COLORSPACE_RGB, FALSE, 8, bitmap.width,
                                                         bitmap.height, bitmap.width * 3, nullptr, nullptr);
            GtkWidget *image = gtk_image_new_from_pixbuf(pixels);
            g_object_unref(pixels);
            gtk_widget_show(image);
            gtk_container_add(GTK_CONTAINER(frame), image);
        }
        return frame;
    }
    case ControlKind::CheckBox: {
        GtkWidget *box = gtk_check_button_new_with_label(control.text);
        g_signal_connect(box, "toggled", G_CALLBACK(onToggled), this);
        return box;
    }
    case ControlKind::Label: {
        GtkWidget *label = gtk_label_new(control.text);
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_label_set_yalign(GTK_LABEL(label), 0);
        return label;
    }
    case ControlKind::DropList: {
        GtkWidget *list = gtk_combo_box_text_new();
        g_signal_connect(list, "changed", G_CALLBACK(onListChanged), this);
        // A long item (a translation, a language's name) ends in an ellipsis rather than
        // widening the list past its place: four dialog units are a character, the arrow takes four.
        GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(list));
        for (GList *cell = cells; cell; cell = cell->next)
            g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, "max-width-chars", control.width / 4 - 4, nullptr);
        g_list_free(cells);
        return list;
    }
    case ControlKind::DefaultButton:
    case ControlKind::Button: {
        GtkWidget *button = gtk_button_new_with_label(control.text);
        g_signal_connect(button, "clicked", G_CALLBACK(onClicked), this);
        return button;
    }
    }
    return nullptr;
}

void GtkDialogControls::addControl(const DialogControl &control) {
    GtkWidget *widget = createControl(control);
    DialogRect area = dialogUnitsToPixels(
        {control.x, control.y, control.x + control.width, control.y + control.height});
    // A picture takes its bitmap's size; a drop-down list's height is that of its open list.
    bool sizedByContent = control.kind == ControlKind::Picture && dialogBitmap(control.bitmap).width > 0;
    if (!sizedByContent)
        gtk_widget_set_size_request(widget, area.right - area.left,
                                    control.kind == ControlKind::DropList ? -1 : area.bottom - area.top);
    gtk_fixed_put(GTK_FIXED(layout_), widget, area.left, area.top);
    order_.push_back(widget);
    g_object_set_data(G_OBJECT(widget), "dialog-id", GINT_TO_POINTER(control.id));
    if (control.id >= 0) {
        gtk_widget_set_name(widget, ("control-" + std::to_string(control.id)).c_str());
        controls_[control.id] = widget;
    }
    gtk_widget_show(widget);
    if (control.kind == ControlKind::DefaultButton) {
        gtk_widget_set_can_default(widget, TRUE);
        gtk_widget_grab_default(widget);
    }
}

GtkWidget *GtkDialogControls::control(int id) const {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

// The handler may refill the list that has the focus (a language picked relabels the
// dialog): GTK drops the focus then, and the keyboard would lose its place.
void GtkDialogControls::command(int id, int code) {
    GtkWidget *focus = gtk_window_get_focus(GTK_WINDOW(window_));
    if (focus)
        g_object_ref(focus);
    handler_(this, DLG_COMMAND, (uintptr_t(code) << 16) | uintptr_t(id & 0xFFFF), 0);
    if (focus && !ended_ && gtk_window_get_focus(GTK_WINDOW(window_)) != focus && gtk_widget_get_visible(focus))
        gtk_widget_grab_focus(focus);
    if (focus)
        g_object_unref(focus);
}

int widgetId(GtkWidget *widget) { return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "dialog-id")); }

void GtkDialogControls::onClicked(GtkWidget *widget, gpointer self) {
    static_cast<GtkDialogControls *>(self)->command(widgetId(widget), DLG_BN_CLICKED);
}

void GtkDialogControls::onToggled(GtkWidget *widget, gpointer self) {
    auto *dialog = static_cast<GtkDialogControls *>(self);
    if (!dialog->quiet_)
        dialog->command(widgetId(widget), DLG_BN_CLICKED);
}

void GtkDialogControls::onListChanged(GtkWidget *widget, gpointer self) {
    auto *dialog = static_cast<GtkDialogControls *>(self);
    if (!dialog->quiet_)
        dialog->command(widgetId(widget), DLG_CBN_SELCHANGE);
}

// Closing from the window manager asks the handler to cancel; it decides.
gboolean GtkDialogControls::onDeleteEvent(GtkWidget *, GdkEvent *, gpointer self) {
    static_cast<GtkDialogControls *>(self)->command(DLG_IDCANCEL, DLG_BN_CLICKED);
    return TRUE;
}

bool isEnterKey(guint key) { return key == GDK_KEY_Return || key == GDK_KEY_KP_Enter || key == GDK_KEY_ISO_Enter; }

// Enter that goes to the default button acts as soon as it is let go: GTK would hold the
// button down for a quarter of a second first. Not on the press, so the window still
// exists for the release. Enter on another focused push button stays that button's.
gboolean GtkDialogControls::onKeyPress(GtkWidget *window, GdkEventKey *event, gpointer self) {
    auto *dialog = static_cast<GtkDialogControls *>(self);
    if (event->keyval == GDK_KEY_Escape) {
        dialog->command(DLG_IDCANCEL, DLG_BN_CLICKED);
        return TRUE;
    }
    GtkWidget *focus = gtk_window_get_focus(GTK_WINDOW(window));
    GtkWidget *target = gtk_window_get_default_widget(GTK_WINDOW(window));
    if (!isEnterKey(event->keyval) || !target || (focus && focus != target && gtk_widget_get_receives_default(focus)))
        return FALSE;
    dialog->enterFor_ = widgetId(target);
    return TRUE;
}

gboolean GtkDialogControls::onKeyRelease(GtkWidget *, GdkEventKey *event, gpointer self) {
    auto *dialog = static_cast<GtkDialogControls *>(self);
    if (!isEnterKey(event->keyval) || dialog->enterFor_ == kNoControl)
        return FALSE;
    const int id = dialog->enterFor_;
    dialog->enterFor_ = kNoControl;
    dialog->command(id, DLG_BN_CLICKED);
    return TRUE;
}

void GtkDialogControls::checkButton(int id, bool ticked) {
    if (GtkWidget *widget = control(id); widget && GTK_IS_TOGGLE_BUTTON(widget)) {
        quiet_ = true;
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), ticked);
        quiet_ = false;
    }
}

bool GtkDialogControls::isButtonChecked(int id) const {
    GtkWidget *widget = control(id);
    return widget && GTK_IS_TOGGLE_BUTTON(widget) && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget));
}

void GtkDialogControls::showControl(int id, bool visible) {
    if (GtkWidget *widget = control(id))
        gtk_widget_set_visible(widget, visible);
}

void GtkDialogControls::setCaption(const char *text) { gtk_window_set_title(GTK_WINDOW(window_), text); }

void GtkDialogControls::setControlText(int id, const char *text) {
    GtkWidget *widget = control(id);
    if (widget && GTK_IS_LABEL(widget))
        gtk_label_set_text(GTK_LABEL(widget), text);
    else if (widget && GTK_IS_BUTTON(widget))
        gtk_button_set_label(GTK_BUTTON(widget), text);
}

void GtkDialogControls::listClear(int id) {
    GtkWidget *widget = control(id);
    if (!widget || !GTK_IS_COMBO_BOX_TEXT(widget))
        return;
    quiet_ = true;
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(widget));
    quiet_ = false;
    itemData_[id].clear();
}

int GtkDialogControls::listAppend(int id, const char *text) {
    GtkWidget *widget = control(id);
    if (!widget || !GTK_IS_COMBO_BOX_TEXT(widget))
        return -1;
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), text);
    std::vector<intptr_t> &data = itemData_[id];
    data.push_back(0);
    return int(data.size()) - 1;
}

void GtkDialogControls::listSetItemData(int id, int index, intptr_t data) {
    auto found = itemData_.find(id);
    if (found != itemData_.end() && index >= 0 && index < int(found->second.size()))
        found->second[size_t(index)] = data;
}

void GtkDialogControls::listSetSelection(int id, int index) {
    if (GtkWidget *widget = control(id); widget && GTK_IS_COMBO_BOX(widget)) {
        quiet_ = true;
        gtk_combo_box_set_active(GTK_COMBO_BOX(widget), index);
        quiet_ = false;
    }
}

int GtkDialogControls::listSelection(int id) const {
    GtkWidget *widget = control(id);
    return widget && GTK_IS_COMBO_BOX(widget) ? gtk_combo_box_get_active(GTK_COMBO_BOX(widget)) : -1;
}

void GtkDialogControls::endDialog(int result) {
    result_ = result;
    ended_ = true;
    g_main_loop_quit(loop_);
}

// The desktop draws the real caption after the window is placed, so it is
// estimated as the caption text plus a classic bar's padding.
int GtkDialogControls::captionHeight() const { return baseY_ + 10; }

DialogRect GtkDialogControls::dialogUnitsToPixels(DialogRect units) const {
    return {scaleUnits(units.left, baseX_, 4), scaleUnits(units.top, baseY_, 8), scaleUnits(units.right, baseX_, 4),
            scaleUnits(units.bottom, baseY_, 8)};
}

int GtkDialogControls::screenWidth() const { return primaryMonitorArea().width; }

int GtkDialogControls::screenHeight() const { return primaryMonitorArea().height; }

// The size covers the caption bar too; GTK sizes only the inside.
void GtkDialogControls::moveDialog(int x, int y, int width, int height) {
    GdkRectangle monitor = primaryMonitorArea();
    gtk_widget_set_size_request(layout_, width, height - captionHeight());
    gtk_window_move(GTK_WINDOW(window_), monitor.x + x, monitor.y + y);
}

} // namespace

int runDialogGtk(const DialogTemplate &dialog, DialogHandler handler) {
    static bool localeKept = false;
    if (!localeKept) {
        gtk_disable_setlocale();   // number formats elsewhere in the game stay "C"
        localeKept = true;
    }
    // Where the game would not open on Wayland, its dialog would not take input there either.
    if (KWindow::waylandLacksSeat())
        gdk_set_allowed_backends("x11");
    if (!gtk_init_check(nullptr, nullptr))
        return DLG_FAILED;
    applyStyle(dialog);
    GtkDialogControls controls(dialog, handler);
    return controls.run();
}
