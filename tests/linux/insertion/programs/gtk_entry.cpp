// A GTK 3 entry for the insertion tests: gtk_entry TEXT CARET (CARET in characters). Prints "ready"
// when the entry has the keyboard focus and "text HEX" (UTF-8 bytes) after every change.

#include <gtk/gtk.h>
#include <cstdio>
#include <cstdlib>

static void on_changed(GtkEditable* editable, gpointer unused) {
    (void)unused;
    printf("text ");
    for (const unsigned char* p = (const unsigned char*)gtk_entry_get_text(GTK_ENTRY(editable)); *p; ++p) printf("%02x", *p);
    printf("\n");
    fflush(stdout);
}

static gboolean on_focus_in(GtkWidget* widget, GdkEvent* event, gpointer caret) {
    (void)event;
    gtk_editable_set_position(GTK_EDITABLE(widget), GPOINTER_TO_INT(caret));
    printf("ready\n");
    fflush(stdout);
    return FALSE;
}

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "gtk_entry");
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), argc > 1 ? argv[1] : "");
    gtk_container_add(GTK_CONTAINER(window), entry);
    g_signal_connect(entry, "changed", G_CALLBACK(on_changed), NULL);
    g_signal_connect_after(entry, "focus-in-event", G_CALLBACK(on_focus_in), GINT_TO_POINTER(argc > 2 ? atoi(argv[2]) : 0));
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
