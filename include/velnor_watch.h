/**
 * \file velnor_watch.h
 * \brief Arrival and removal of Velnor boards: a watch that calls the
 *        application back when a board is plugged in, powered on, unplugged
 *        or re-enumerated.
 *
 * C-compatible; include it from C or C++. On Windows the functions are
 * imported from VelnorWatch.dll (link VelnorWatch.lib), a companion of
 * Velnor.dll; on Linux, over the virtual platform, from libvelnor_watch.so.1.
 * Define VELNOR_WATCH_STATIC when linking the watcher statically.
 *
 * A board is named by its interface path, the same text (in UTF-8)
 * `velnorctl list` shows. To open a board that arrived, count the boards
 * and open by index with velnor.h; an index is a position in the list at
 * that moment, so look the board up by its serial or path when more than
 * one may come and go.
 *
 * \section watch_events Events
 * A watch hears the system's notifications for the board interface class;
 * it never polls. Its callbacks run one at a time, on one thread the watch
 * owns, in the order the system reported the changes. The sequence a watch
 * reports is consistent: a path is never reported as removed unless its
 * arrival (or its presence at the start) came before, and never reported as
 * arrived twice without a removal between.
 *
 * With ::VL_WATCH_PRESENT, every board present at the start is reported as
 * ::VL_WATCH_ARRIVED before any later event; no board that arrives or leaves
 * around the start is missed or reported twice. Without it, only changes
 * after vl_watch_start() returns are reported, removals of the boards
 * present at the start included.
 *
 * \section watch_board_gone A board that left
 * A handle opened on a board that has been removed stays valid: every
 * request on it fails with ::VL_RC_FAILED and the system's text in
 * Velnor.log ("The device is not connected."). Close it with
 * vl_device_close(). A board that comes back is a new arrival; open it
 * again.
 *
 * \section watch_log Log
 * Failures are logged as Velnor.dll logs them, one line each in Velnor.log
 * in the temporary directory, under the watcher's function names
 * ("[vl_watch_start] Error: system:8, ..."). The watcher appends to the
 * file and never empties it: Velnor.dll empties it at its own first
 * failure in the process.
 */
#ifndef VELNOR_WATCH_H
#define VELNOR_WATCH_H

#include <velnor.h>

#include <stdint.h>

#if defined(VELNOR_WATCH_STATIC)
#define VL_WATCH_API
#elif defined(_WIN32)
#if defined(VELNOR_WATCH_BUILDING)
#define VL_WATCH_API __declspec(dllexport)
#else
#define VL_WATCH_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VL_WATCH_API __attribute__((visibility("default")))
#else
#define VL_WATCH_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** What happened to a board. */
typedef enum vl_watch_event {
    VL_WATCH_ARRIVED = 1, /**< the board's interface appeared (plugged in, powered on, enabled) */
    VL_WATCH_REMOVED = 2  /**< the board's interface went away (unplugged, powered off, disabled) */
} vl_watch_event;

/** Flag of vl_watch_start(): report the boards present at the start as arrivals first. */
#define VL_WATCH_PRESENT 1u

/**
 * \brief Called once for every event of a watch.
 *
 * Runs on the watch's own thread, never two at a time for one watch. The
 * callback may call any function of velnor.h, and vl_watch_stop() on its
 * own watch (see there); it should return promptly, since later events of
 * the watch wait for it.
 *
 * \param[in] context        the pointer given to vl_watch_start()
 * \param[in] event          ::VL_WATCH_ARRIVED or ::VL_WATCH_REMOVED
 * \param[in] interface_path the board's interface path, UTF-8, zero-ended;
 *                           valid until the callback returns
 */
typedef void (*vl_watch_callback)(void* context, vl_watch_event event, const char* interface_path);

/** A running watch, made by vl_watch_start() and ended by vl_watch_stop(). */
typedef struct vl_watch vl_watch;

/**
 * \brief Starts a watch on the boards' arrivals and removals.
 *
 * When this returns ::VL_RC_SUCCESS the watch is registered with the system:
 * every later change is reported. Any number of watches may run at once,
 * each with its own thread.
 *
 * \param[in]  flags    0, or ::VL_WATCH_PRESENT to hear the boards present now
 *                      first; other bits are ignored
 * \param[in]  callback called for every event (not null)
 * \param[in]  context  handed to every call of callback; may be null
 * \param[out] watch    receives the watch (not null); written only on success
 * \return a result code (see \ref result_codes "Result codes" in velnor.h)
 * \retval VL_RC_SUCCESS        the watch runs
 * \retval VL_RC_NULL_PARAMETER callback or watch is null; nothing was started
 * \retval VL_RC_FAILED         the system refused the registration, or the
 *                              watch's thread could not start; Velnor.log
 *                              names the call and gives the system's text
 * \retval VL_RC_NO_MEMORY      memory ran out
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault (logged)
 */
VL_WATCH_API int32_t vl_watch_start(uint32_t flags, vl_watch_callback callback, void* context,
                                    vl_watch** watch);

/**
 * \brief Stops a watch and frees it.
 *
 * From any thread but the watch's own, returns only when no callback of
 * the watch is running or will run: events not yet delivered are dropped.
 * From inside one of the watch's own callbacks it does not wait for
 * itself: it stops the watch (no callback starts after the running one),
 * returns at once, and the watch's thread frees the watch when that
 * callback returns. Either way the watch must not be used again. Stopping
 * another watch from a callback waits for that watch's running callback,
 * so two watches must not stop each other from their callbacks.
 *
 * Stop every watch before VelnorWatch.dll is unloaded.
 *
 * \param[in] watch the watch from vl_watch_start()
 * \return a result code
 * \retval VL_RC_SUCCESS        the watch is stopped
 * \retval VL_RC_NULL_PARAMETER watch is null; nothing happened
 */
VL_WATCH_API int32_t vl_watch_stop(vl_watch* watch);

#ifdef __cplusplus
}
#endif

#endif /* VELNOR_WATCH_H */
