// SPDX-License-Identifier: GPL-3.0-or-later
#include "mpvlibrary.h"

#include <QLibrary>

namespace {

// The library's soname carries its major version, which is the client API's.
constexpr int libraryVersion = MPV_CLIENT_API_VERSION >> 16;

} // namespace

const MpvLibrary &MpvLibrary::instance()
{
    static const MpvLibrary library;
    return library;
}

MpvLibrary::MpvLibrary()
{
    // Never unloaded: mpv's threads may outlive a handle by a moment.
    QLibrary library(QStringLiteral("mpv"), libraryVersion);
    library.setLoadHints(QLibrary::PreventUnloadHint);
    if (!library.load())
        return;
    bool complete = true;
    const auto resolve = [&library, &complete](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
        complete = complete && function != nullptr;
    };
    resolve(client_api_version, "mpv_client_api_version");
    resolve(create, "mpv_create");
    resolve(initialize, "mpv_initialize");
    resolve(terminate_destroy, "mpv_terminate_destroy");
    resolve(set_option_string, "mpv_set_option_string");
    resolve(set_property_string, "mpv_set_property_string");
    resolve(set_property_async, "mpv_set_property_async");
    resolve(get_property_async, "mpv_get_property_async");
    resolve(get_property, "mpv_get_property");
    resolve(observe_property, "mpv_observe_property");
    resolve(command_async, "mpv_command_async");
    resolve(request_log_messages, "mpv_request_log_messages");
    resolve(set_wakeup_callback, "mpv_set_wakeup_callback");
    resolve(wait_event, "mpv_wait_event");
    resolve(error_string, "mpv_error_string");
    resolve(render_context_create, "mpv_render_context_create");
    resolve(render_context_set_update_callback, "mpv_render_context_set_update_callback");
    resolve(render_context_update, "mpv_render_context_update");
    resolve(render_context_render, "mpv_render_context_render");
    resolve(render_context_free, "mpv_render_context_free");
    // A library of another major version has other structures behind the same names.
    m_loaded = complete && (client_api_version() >> 16) == libraryVersion;
}
