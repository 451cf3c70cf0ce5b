#pragma once

// Owning handles for the GLib values the .desktop and icon theme readers use.

#include <glib.h>

#include <memory>

namespace parlune::glib {

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct FreeDeleter {
    void operator()(void* memory) const { g_free(memory); }
};
using Text = std::unique_ptr<gchar, FreeDeleter>;

struct StrvDeleter {
    void operator()(gchar** list) const { g_strfreev(list); }
};
using Strv = std::unique_ptr<gchar*, StrvDeleter>;

}  // namespace parlune::glib
