// Shows the real start-up dialog and reports on stdout what a driver needs to
// drive it from outside: where each control is on the screen, what it shows,
// and how the dialog ended. Run from a folder of its own with a data/ beside it.
//
//   shown                          the dialog is on the screen
//   control ID X Y W H             a control's screen rectangle (once, when shown)
//   state FULL INTERNET SKIN PREVIEW   whenever it changes
//   item TEXT X Y W H              an entry of the open skin list
//   result STARTED WINDOWED SKIN GAMEPAD
//   window                         with --open-window: after Play the game window opens as chosen
//                                  and shows the chosen skin's menu picture until it is closed
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "KGraphic.h"
#include "KMiscTools.h"
#include "KWindow.h"
#include "welcome.h"

namespace {

GtkWidget *findDialog() {
    GtkWidget *found = nullptr;
    GList *windows = gtk_window_list_toplevels();
    for (GList *w = windows; w; w = w->next) {
        const char *title = gtk_window_get_title(GTK_WINDOW(w->data));
        if (title && std::strcmp(title, DIALOGINTRO.caption) == 0)
            found = GTK_WIDGET(w->data);
    }
    g_list_free(windows);
    return found;
}

void collectNamed(GtkWidget *widget, const char *name, GtkWidget **result) {
    if (std::strcmp(gtk_widget_get_name(widget), name) == 0)
        *result = widget;
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *c = children; c; c = c->next)
            collectNamed(GTK_WIDGET(c->data), name, result);
        g_list_free(children);
    }
}

GtkWidget *controlOf(GtkWidget *dialog, int id) {
    GtkWidget *found = nullptr;
    collectNamed(dialog, ("control-" + std::to_string(id)).c_str(), &found);
    return found;
}

void printRectangle(const char *what, const std::string &name, GtkWidget *widget) {
    if (!gtk_widget_get_mapped(widget)) {
        std::printf("%s %s 0 0 0 0\n", what, name.c_str());   // hidden: nothing to click
        return;
    }
    GtkAllocation area;
    gtk_widget_get_allocation(widget, &area);
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(widget), &x, &y);
    // Widgets without their own window are placed inside their toplevel's.
    if (!gtk_widget_get_has_window(widget)) {
        x += area.x;
        y += area.y;
    }
    std::printf("%s %s %d %d %d %d\n", what, name.c_str(), x, y, area.width, area.height);
}

std::string stateOf(GtkWidget *dialog) {
    auto ticked = [&](int id) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(controlOf(dialog, id))) ? 1 : 0; };
    int preview = 0;
    for (int id : {IDC_PREVIEW_CLASSIC, IDC_PREVIEW_HER, IDC_PREVIEW_HIM})
        if (gtk_widget_get_visible(controlOf(dialog, id)))
            preview = preview ? -1 : id;   // -1: more than one shown
    return "state " + std::to_string(ticked(IDC_FULLSCREEN)) + " " + std::to_string(ticked(IDC_INTERNET)) + " " +
           std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(controlOf(dialog, IDC_SKINLIST)))) + " " +
           std::to_string(preview);
}

gboolean markDrawn(GtkWidget *window, cairo_t *, gpointer) {
    g_object_set_data(G_OBJECT(window), "probe-drawn", GINT_TO_POINTER(1));
    return FALSE;
}

void markHidden(GtkWidget *window, gpointer) { g_object_set_data(G_OBJECT(window), "probe-drawn", nullptr); }

// Mapped and painted at least once since: a click now lands where it is seen.
bool onScreen(GtkWidget *window) {
    if (!g_object_get_data(G_OBJECT(window), "probe-watched")) {
        g_object_set_data(G_OBJECT(window), "probe-watched", GINT_TO_POINTER(1));
        g_signal_connect_after(window, "draw", G_CALLBACK(markDrawn), nullptr);
        g_signal_connect(window, "unmap", G_CALLBACK(markHidden), nullptr);
    }
    return gtk_widget_get_mapped(window) && g_object_get_data(G_OBJECT(window), "probe-drawn");
}

// The skin list's pop-up menu while it is on the screen.
GtkWidget *openMenu() {
    GtkWidget *menu = nullptr;
    GList *windows = gtk_window_list_toplevels();
    for (GList *w = windows; w; w = w->next) {
        GtkWidget *child = gtk_bin_get_child(GTK_BIN(w->data));
        if (child && GTK_IS_MENU(child) && onScreen(GTK_WIDGET(w->data)))
            menu = child;
    }
    g_list_free(windows);
    return menu;
}

void reportMenuItems(GtkWidget *menu) {
    const char *names[] = {m1, m2, m3};
    GList *items = gtk_container_get_children(GTK_CONTAINER(menu));
    int index = 0;
    for (GList *i = items; i && index < 3; i = i->next, index++) {
        std::string text = names[index];   // the entries show the list's texts in order
        for (char &c : text)
            if (c == ' ')
                c = '_';
        printRectangle("item", text, GTK_WIDGET(i->data));
    }
    g_list_free(items);
}

gboolean probe(gpointer) {
    static bool shown = false, menuReported = false;
    static std::string lastState;
    GtkWidget *dialog = findDialog();
    if (!dialog || !onScreen(dialog))
        return G_SOURCE_CONTINUE;
    if (!shown) {
        shown = true;
        std::printf("shown\n");
        for (int i = 0; i < DIALOGINTRO.controlCount; i++)
            if (DIALOGINTRO.controls[i].id >= 0)
                printRectangle("control", std::to_string(DIALOGINTRO.controls[i].id),
                               controlOf(dialog, DIALOGINTRO.controls[i].id));
    }
    std::string state = stateOf(dialog);
    if (state != lastState)
        std::printf("%s\n", (lastState = state).c_str());
    GtkWidget *menu = openMenu();
    if (menu && !menuReported)
        reportMenuItems(menu);
    menuReported = menu != nullptr;
    std::fflush(stdout);
    return G_SOURCE_CONTINUE;
}

} // namespace

int main(int argc, char **argv) {
    g_timeout_add(5, probe, nullptr);
    bool started = ShowWelcomeDialog();
    std::printf("result %d %d %d %d\n", started ? 1 : 0, isWindowed ? 1 : 0, int(gSkin), isGamePad ? 1 : 0);
    std::fflush(stdout);
    if (!started || argc < 2 || std::strcmp(argv[1], "--open-window") != 0)
        return 0;
    // What the game does next: its window opens as chosen in the dialog.
    KWindow window;
    if (!window.createGameWindow(640, 480, 16, isWindowed, "Brolix"))
        return 1;
    KGraphic menu;
    char name[32];
    std::snprintf(name, sizeof name, "data\\menu%d.tga", int(gSkin));
    menu.loadPicture(KMiscTools::makeFilePath(name), true, false, true);
    bool reported = false;
    while (!KWindow::isQuit()) {
        KGraphic::setDefaultWorldView();
        menu.blitRect(0, 0, 640, 480, 0, 0);
        KWindow::flipBackBuffer(false);
        if (!reported) {
            KGraphic::setDefaultWorldView();   // the other buffer too, before anyone looks
            menu.blitRect(0, 0, 640, 480, 0, 0);
            KWindow::flipBackBuffer(false);
            std::printf("window\n");
            std::fflush(stdout);
            reported = true;
        }
    }
    return 0;
}
