// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

// libmpv, loaded at the first use rather than with the program: linked, it
// brings some 160 libraries and 20 MiB with it into every start, for a
// player most people never open. The functions of libmpv that the player
// calls, under their own names without the "mpv_" prefix; all of them are
// there, or none (isLoaded() false).
class MpvLibrary
{
public:
    // Loads libmpv on the first call; the same instance for the program's life.
    static const MpvLibrary &instance();

    bool isLoaded() const { return m_loaded; }

    decltype(&::mpv_client_api_version) client_api_version = nullptr;
    decltype(&::mpv_create) create = nullptr;
    decltype(&::mpv_initialize) initialize = nullptr;
    decltype(&::mpv_terminate_destroy) terminate_destroy = nullptr;
    decltype(&::mpv_set_option_string) set_option_string = nullptr;
    decltype(&::mpv_set_property_string) set_property_string = nullptr;
    decltype(&::mpv_set_property_async) set_property_async = nullptr;
    decltype(&::mpv_get_property) get_property = nullptr;
    decltype(&::mpv_get_property_async) get_property_async = nullptr;
    decltype(&::mpv_observe_property) observe_property = nullptr;
    decltype(&::mpv_command_async) command_async = nullptr;
    decltype(&::mpv_request_log_messages) request_log_messages = nullptr;
    decltype(&::mpv_set_wakeup_callback) set_wakeup_callback = nullptr;
    decltype(&::mpv_wait_event) wait_event = nullptr;
    decltype(&::mpv_error_string) error_string = nullptr;
    decltype(&::mpv_render_context_create) render_context_create = nullptr;
    decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback = nullptr;
    decltype(&::mpv_render_context_update) render_context_update = nullptr;
    decltype(&::mpv_render_context_render) render_context_render = nullptr;
    decltype(&::mpv_render_context_free) render_context_free = nullptr;

private:
    MpvLibrary();

    bool m_loaded = false;
};
