// Shows the real start-up dialog and prints "shown" once it is on the screen; exits 0
// when the player chose Play. Run from a folder of its own with a data/ beside it.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

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

gboolean markDrawn(GtkWidget *window, cairo_t *, gpointer) {
    g_object_set_data(G_OBJECT(window), "probe-drawn", GINT_TO_POINTER(1));
    return FALSE;
}

void markHidden(GtkWidget *window, gpointer) { g_object_set_data(G_OBJECT(window), "probe-drawn", nullptr); }

// Mapped and painted at least once since.
bool onScreen(GtkWidget *window) {
    if (!g_object_get_data(G_OBJECT(window), "probe-watched")) {
        g_object_set_data(G_OBJECT(window), "probe-watched", GINT_TO_POINTER(1));
        g_signal_connect_after(window, "draw", G_CALLBACK(markDrawn), nullptr);
        g_signal_connect(window, "unmap", G_CALLBACK(markHidden), nullptr);
    }
    return gtk_widget_get_mapped(window) && g_object_get_data(G_OBJECT(window), "probe-drawn");
}

gboolean probe(gpointer) {
    GtkWidget *dialog = findDialog();
    if (!dialog || !onScreen(dialog))
        return G_SOURCE_CONTINUE;
    std::printf("shown\n");
    std::fflush(stdout);
    return G_SOURCE_REMOVE;
}

} // namespace

int main() {
    g_timeout_add(5, probe, nullptr);
    return ShowWelcomeDialog() ? 0 : 1;
}
