// For SDL 2.26 (Debian 12's libsdl2-2.0-0 2.26.5): its PulseAudio driver copies the server's
// default sink and source names without looking, so a server with no sink (the only card
// unplugged, its module unloaded) reports none, and SDL crashes, at start-up or when the last
// sink goes while it runs. SDL's library is linked against libpulse directly, so this
// definition stands in for libpulse's (the link options of vellox_audio put it in the
// program's dynamic symbol table), and hands SDL an empty name ("no default device") in place
// of the missing one. Drop this file once SDL checks the names itself.

#include <pulse/introspect.h>

#include <cstring>

#include <dlfcn.h>

namespace {
void serverInfoWithNames(pa_context* context, const pa_server_info* info, void* userdata)
{
    pa_server_info_cb_t callback {};
    std::memcpy(&callback, &userdata, sizeof callback);
    pa_server_info blank {};
    pa_server_info copy = info != nullptr ? *info : blank;
    if (copy.default_sink_name == nullptr)
        copy.default_sink_name = "";
    if (copy.default_source_name == nullptr)
        copy.default_source_name = "";
    callback(context, &copy, nullptr);
}
} // namespace

extern "C" pa_operation* pa_context_get_server_info(
    pa_context* context, pa_server_info_cb_t callback, void* userdata)
{
    using Real = pa_operation* (*)(pa_context*, pa_server_info_cb_t, void*);
    static const Real real = [] {
        Real f {};
        void* symbol = dlsym(RTLD_NEXT, "pa_context_get_server_info");
        std::memcpy(&f, &symbol, sizeof f);
        return f;
    }();
    if (real == nullptr)
        return nullptr;
    // SDL passes no user data; the callback itself travels in its place, so that nothing is
    // allocated that an operation cancelled with its context would leave behind.
    if (callback == nullptr || userdata != nullptr)
        return real(context, callback, userdata);
    void* carried {};
    static_assert(sizeof carried == sizeof callback);
    std::memcpy(&carried, &callback, sizeof carried);
    return real(context, &serverInfoWithNames, carried);
}
