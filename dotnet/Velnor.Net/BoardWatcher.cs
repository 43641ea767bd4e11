using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Runtime.InteropServices;
using System.Security;
using System.Threading;

namespace Velnor
{
    /// <summary>
    /// Tells the application when a board arrives (plugged in, powered on, enabled) or
    /// leaves (unplugged, powered off, disabled), over VelnorWatch.dll (libvelnor_watch.so.1
    /// on Linux). The watch hears the system's notifications; it never polls.
    /// </summary>
    /// <remarks>
    /// <para>
    /// Make the watcher, attach the handlers, then <see cref="Start"/> it: with
    /// reportPresent, every board present at the start comes first as an
    /// <see cref="Arrived"/> event, so a handler attached before Start misses none.
    /// </para>
    /// <para>
    /// <see cref="Arrived"/>, <see cref="Removed"/> and <see cref="HandlerFailed"/> are
    /// raised on the watch's own native thread, never on the thread that called Start,
    /// one event at a time, in the order the system reported the changes. A path is
    /// never reported as removed unless its arrival (or its presence at the start) came
    /// first, and never as arrived twice without a removal between. Later events wait
    /// for a handler to return, so a handler should return promptly; to touch a user
    /// interface, hand the event over to its thread (Control.BeginInvoke,
    /// SynchronizationContext.Post).
    /// </para>
    /// <para>
    /// A handler may call anything of the binding, <see cref="Board.Open(string)"/> on the
    /// board that arrived for instance, and may dispose this watcher. It should not
    /// dispose another watcher whose handler could be disposing this one at the same
    /// time: each would wait for the other.
    /// </para>
    /// <para>
    /// A started watcher runs until it is disposed, whether or not the application still
    /// holds a reference to it. Dispose it when done; at the latest, when the process
    /// ends or the watcher's AppDomain is unloaded, the binding disposes every watcher
    /// still running (the runtime would otherwise wait for the watch's thread, or call
    /// into a domain that is gone).
    /// </para>
    /// </remarks>
    public sealed class BoardWatcher : IDisposable
    {
        // One delegate for every watcher, for the life of the process: the native side
        // holds its function pointer while a watch runs. The watch's context is a
        // GCHandle on the watcher, freed once vl_watch_stop returned.
#if !NET8_0_OR_GREATER
        private static readonly WatchMethods.Callback NativeCallback = Dispatch;
#endif

        // The watchers started and not yet disposed, for the end of the process or domain.
        private static readonly HashSet<BoardWatcher> Running = new HashSet<BoardWatcher>();
        private static bool endHooked;

        private readonly object gate = new object();
        private IntPtr watch;
        private GCHandle self;
        private volatile bool disposed;
        // The watch's thread while it raises an event; null between events.
        private Thread? raising;

        /// <summary>
        /// A board arrived: its interface path, the text <c>velnorctl list</c> shows. To open
        /// it, look it up among the boards present (<see cref="Board.Open(string)"/> by its
        /// serial, for instance): an index is a position in the list at that moment.
        /// Raised on the watch's thread.
        /// </summary>
        public event EventHandler<BoardEventArgs>? Arrived;

        /// <summary>
        /// A board left. A <see cref="Board"/> opened on it stays open, and every request on
        /// it throws <see cref="CallFailedException"/> ("The device is not connected.");
        /// dispose it. A board that comes back is a new arrival. Raised on the watch's thread.
        /// </summary>
        public event EventHandler<BoardEventArgs>? Removed;

        /// <summary>
        /// A handler of <see cref="Arrived"/> or <see cref="Removed"/> threw. The exception
        /// goes no further and the watch goes on: the event's other handlers still run, and
        /// so do later events. Without a handler here, the failure is written to
        /// System.Diagnostics.Trace as an error, as is an exception thrown by a handler of
        /// this event. Raised on the watch's thread.
        /// </summary>
        public event EventHandler<BoardHandlerFailedEventArgs>? HandlerFailed;

        /// <summary>
        /// Starts the watch. Once this returns, every later change is reported. Call it
        /// once; the handlers may be attached before or after.
        /// </summary>
        /// <param name="reportPresent">True: every board present now is reported as
        /// <see cref="Arrived"/> before any later event, none missed or reported twice
        /// around the start. False: only changes after the start, removals of the boards
        /// present at the start included.</param>
        /// <exception cref="ObjectDisposedException">The watcher was disposed.</exception>
        /// <exception cref="InvalidOperationException">The watcher was already started.</exception>
        /// <exception cref="CallFailedException">The system refused the registration, or the
        /// watch's thread could not start; <see cref="VelnorException.LogLine"/> names the call
        /// and gives the system's text. The watcher can be started again.</exception>
        /// <exception cref="VelnorException">Another result code of vl_watch_start.</exception>
        /// <exception cref="DllNotFoundException">VelnorWatch.dll was not found; the text says where
        /// it was looked for.</exception>
        /// <exception cref="PlatformNotSupportedException">The process is not 64-bit.</exception>
        public void Start(bool reportPresent = false)
        {
            lock (gate)
            {
                if (disposed)
                {
                    throw new ObjectDisposedException("BoardWatcher");
                }
                if (watch != IntPtr.Zero)
                {
                    throw new InvalidOperationException("the board watcher was already started");
                }
                Loader.EnsureBitness();
                // The watch's thread waits for this lock before its first event: the
                // watcher is complete when any handler runs.
                self = GCHandle.Alloc(this);
                int rc;
                IntPtr started;
                try
                {
                    rc = WatchMethods.Start(reportPresent ? WatchMethods.ReportPresent : 0u, CallbackPointer(),
                                            GCHandle.ToIntPtr(self), out started);
                }
                catch
                {
                    self.Free();
                    throw;
                }
                if (rc != 0)
                {
                    self.Free();
                    throw VelnorException.Of(rc, "vl_watch_start");
                }
                watch = started;
                lock (Running)
                {
                    if (!endHooked)
                    {
                        AppDomain.CurrentDomain.ProcessExit += DisposeRunning;
                        AppDomain.CurrentDomain.DomainUnload += DisposeRunning;
                        endHooked = true;
                    }
                    Running.Add(this);
                }
            }
        }

        /// <summary>
        /// Stops the watch. Events not raised yet are dropped; a handler running on the
        /// watch's thread is waited for, and none runs once this returns. Called from a
        /// handler of this watcher, it returns at once: the running handler is the last,
        /// and the event's remaining handlers are skipped. A second call, or a call on a
        /// watcher never started, only waits for a running handler as the first does.
        /// </summary>
        public void Dispose()
        {
            IntPtr stopping;
            lock (gate)
            {
                disposed = true;
                stopping = watch;
                watch = IntPtr.Zero;
            }
            if (stopping != IntPtr.Zero)
            {
                // Waits for the running callback, except on the watch's own thread; no
                // callback starts after it. Its only failure is a null watch.
                WatchMethods.vl_watch_stop(stopping);
                self.Free();
                lock (Running)
                {
                    Running.Remove(this);
                }
            }
            // A handler that is still running here was entered before this call (another
            // Dispose stopped the watch, or this one came from a handler).
            lock (gate)
            {
                while (raising != null && raising != Thread.CurrentThread)
                {
                    Monitor.Wait(gate);
                }
            }
        }

        // At the end of the process: every watcher still running, disposed.
        internal static void DisposeRunning(object? sender, EventArgs e)
        {
            BoardWatcher[] running;
            lock (Running)
            {
                running = Running.ToArray();
            }
            foreach (BoardWatcher watcher in running)
            {
                watcher.Dispose();
            }
        }

#if NET8_0_OR_GREATER
        private static unsafe IntPtr CallbackPointer()
        {
            return (IntPtr)(delegate* unmanaged[Cdecl]<IntPtr, int, IntPtr, void>)&Dispatch;
        }
#else
        private static IntPtr CallbackPointer()
        {
            return Marshal.GetFunctionPointerForDelegate(NativeCallback);
        }
#endif

        // The watch's callback, on its own thread. Nothing may escape into the native
        // watcher.
#if NET8_0_OR_GREATER
        [UnmanagedCallersOnly(CallConvs = new[] { typeof(System.Runtime.CompilerServices.CallConvCdecl) })]
#endif
        private static void Dispatch(IntPtr context, int change, IntPtr path)
        {
            try
            {
                var watcher = (BoardWatcher)GCHandle.FromIntPtr(context).Target!;
                if (change == (int)BoardChange.Arrived || change == (int)BoardChange.Removed)
                {
                    watcher.Raise((BoardChange)change, Text.Decode(path));
                }
            }
            catch (Exception error)
            {
                TraceFailure("the board watcher's callback failed: " + error);
            }
        }

        private void Raise(BoardChange change, string path)
        {
            lock (gate)
            {
                if (disposed)
                {
                    return;
                }
                raising = Thread.CurrentThread;
            }
            try
            {
                EventHandler<BoardEventArgs>? handlers = change == BoardChange.Arrived ? Arrived : Removed;
                if (handlers == null)
                {
                    return;
                }
                var args = new BoardEventArgs(path);
                foreach (EventHandler<BoardEventArgs> handler in handlers.GetInvocationList())
                {
                    if (disposed)
                    {
                        break;
                    }
                    try
                    {
                        handler(this, args);
                    }
                    catch (Exception error)
                    {
                        Report(new BoardHandlerFailedEventArgs(change, path, error));
                    }
                }
            }
            finally
            {
                lock (gate)
                {
                    raising = null;
                    Monitor.PulseAll(gate);
                }
            }
        }

        private void Report(BoardHandlerFailedEventArgs failure)
        {
            EventHandler<BoardHandlerFailedEventArgs>? handlers = HandlerFailed;
            if (handlers != null)
            {
                try
                {
                    handlers(this, failure);
                    return;
                }
                catch (Exception error)
                {
                    TraceFailure(string.Format("a handler of HandlerFailed threw: {0}", error));
                }
            }
            TraceFailure(string.Format("a handler of {0} for {1} threw: {2}", failure.Change, failure.Path,
                                       failure.Exception));
        }

        private static void TraceFailure(string text)
        {
            try
            {
                Trace.TraceError("Velnor.BoardWatcher: " + text);
            }
            catch (Exception)
            {
                // A trace listener that fails has nowhere left to report to.
            }
        }
    }

    /// <summary>What happened to a board.</summary>
    public enum BoardChange
    {
        /// <summary>The board arrived (<see cref="BoardWatcher.Arrived"/>).</summary>
        Arrived = 1,

        /// <summary>The board left (<see cref="BoardWatcher.Removed"/>).</summary>
        Removed = 2
    }

    /// <summary>A board that arrived or left.</summary>
    public sealed class BoardEventArgs : EventArgs
    {
        /// <summary>Makes the event of one board.</summary>
        /// <param name="path">The board's interface path.</param>
        public BoardEventArgs(string path)
        {
            Path = path;
        }

        /// <summary>
        /// The board's interface path, the text <c>velnorctl list</c> shows, for example
        /// <c>\\?\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}</c> for the
        /// virtual platform's board 0. A byte that is not UTF-8 reads as \xNN.
        /// </summary>
        public string Path { get; private set; }
    }

    /// <summary>A handler of <see cref="BoardWatcher.Arrived"/> or <see cref="BoardWatcher.Removed"/> threw.</summary>
    public sealed class BoardHandlerFailedEventArgs : EventArgs
    {
        /// <summary>Makes the report of one failed handler.</summary>
        /// <param name="change">The event whose handler threw.</param>
        /// <param name="path">The board's interface path.</param>
        /// <param name="exception">What the handler threw.</param>
        public BoardHandlerFailedEventArgs(BoardChange change, string path, Exception exception)
        {
            Change = change;
            Path = path;
            Exception = exception;
        }

        /// <summary>The event whose handler threw.</summary>
        public BoardChange Change { get; private set; }

        /// <summary>The board's interface path, as the handler had it.</summary>
        public string Path { get; private set; }

        /// <summary>What the handler threw.</summary>
        public Exception Exception { get; private set; }
    }

    /// <summary>
    /// The watcher's exports. "VelnorWatch" is VelnorWatch.dll on Windows and
    /// libvelnor_watch.so.1 on Linux (<see cref="NativeLibraries"/> resolves it).
    /// </summary>
    [SuppressUnmanagedCodeSecurity]
    internal static partial class WatchMethods
    {
        internal const string Library = NativeLibraries.Watch;
        internal const uint ReportPresent = 1;

        static WatchMethods()
        {
            NativeLibraries.Register();
        }

#if NET8_0_OR_GREATER
        [LibraryImport(Library)]
        private static partial int vl_watch_start(uint flags, IntPtr callback, IntPtr context, out IntPtr watch);

        [LibraryImport(Library)]
        internal static partial int vl_watch_stop(IntPtr watch);
#else
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void Callback(IntPtr context, int change, IntPtr path);

        [DllImport(Library, ExactSpelling = true)]
        private static extern int vl_watch_start(uint flags, IntPtr callback, IntPtr context, out IntPtr watch);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_watch_stop(IntPtr watch);
#endif

        // vl_watch_start, a missing or foreign library explained.
        internal static int Start(uint flags, IntPtr callback, IntPtr context, out IntPtr watch)
        {
            try
            {
                return vl_watch_start(flags, callback, context, out watch);
            }
            catch (DllNotFoundException error)
            {
                throw new DllNotFoundException(Loader.WatcherNotFound(NativeLibraries.LastFailure ?? error.Message), error);
            }
            catch (BadImageFormatException error)
            {
                throw new DllNotFoundException(Loader.WatcherNotFound(
                    "the library found is not a 64-bit build for this machine: " + error.Message), error);
            }
            catch (EntryPointNotFoundException error)
            {
                throw new DllNotFoundException(Loader.WatcherNotFound(
                    "the library found is not the Velnor board watcher (an export is missing): " + error.Message), error);
            }
        }
    }
}
