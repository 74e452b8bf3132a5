// VeltoSound from C#: the sound-card mixer library through P/Invoke.
//
//     using (var mixer = new VeltoSound.Mixer())      // closes with restore
//     {
//         foreach (var endpoint in mixer.PlaybackEndpoints())
//             Console.WriteLine(endpoint.Name + " " + endpoint.Id);
//         mixer.OpenDefaults();
//         Console.WriteLine(mixer.MasterVolume());
//     }
//
// NativeMethods declares the 44 exports as the C header does; Mixer turns the
// library's statuses into what a C# program expects: the value (getters) or
// true (setters) on success, null (getters) or false (setters) when the bound
// device has no such control (or, for the virtual endpoint, none is bound),
// PlatformException when the platform call failed and NotBoundException when
// no device is bound.
//
// The library is loaded by the name "veltosound": .NET on Windows appends
// ".dll" and file names there ignore case, so it finds VeltoSound.dll (the DLL
// of the process's width, beside the program or on PATH); Mono and .NET on
// Linux try "libveltosound.so" through the run-time linker (LD_LIBRARY_PATH,
// the system's library directories).

using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Text;

namespace VeltoSound
{
    /// <summary>The 44 exports, with the header's types and parameter names.</summary>
    /// <remarks>
    /// Search texts are ANSI strings (the system code page on Windows, UTF-8 on
    /// Linux); a null text counts as the empty text. Name and id buffers are
    /// caller-allocated byte arrays of at least <see cref="BufferSize"/> bytes,
    /// which the library fills with a NUL-terminated narrow text.
    /// </remarks>
    public static class NativeMethods
    {
        public const string Library = "veltosound";

        /// <summary>A name or id buffer: the library writes at most 255 bytes.</summary>
        public const int BufferSize = 256;

        // On x86 the exports pop their own arguments; on x64 and Linux there is
        // one convention and StdCall is taken as it.
        private const CallingConvention Convention = CallingConvention.StdCall;

        // Binding
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        public static extern int OpenSoundCard(string playback, string mic, string line);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int CloseSoundCard(int restore);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int OpenDefaultDevices();
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        public static extern int OpenVirtual_1(string search);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int CloseVirtual_1();

        // Enumeration and names
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern void GetDeviceNames([In, Out] byte[] playback, [In, Out] byte[] line, [In, Out] byte[] mic);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetNumberPlayDevices(out int count);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetNumberRecordDevices(out int count);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetPlayBackDevice(uint index, [In, Out] byte[] name, [In, Out] byte[] id);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetRecordDevice(uint index, [In, Out] byte[] name, [In, Out] byte[] id);

        // Volumes in percent
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMasterVolume(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetMasterVolume(int percent, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetLinePlayBack(int percent, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetMicPlayBack(int percent, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetLinePlayBack(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMicPlayBack(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMicRecordVolume(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetMicRecordVolume(int percent, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetLineRecordVolume(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetLineRecordVolume(int percent, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetVirtualVolume(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetVirtualVolume(int percent, out int status);

        // Mutes and switches: 0 off, anything else on
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMasterMute(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetMasterMute(int state, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetLinePlayBackMute(int state, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetLinePlayBackMute(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetMicPlayBackMute(int state, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMicPlayBackMute(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetMicBoost(int state, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMicBoost(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetNoMonitor(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetNoMonitor(int state, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetVirtualMute(int state, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetVirtualMute(out int status);

        // Tone controls, in decibels
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetEQRange(out double min, out double max, out double step);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetBass(double level, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetBass(out double level, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetTreble(double level, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetTreble(out double level, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetMidRange(double level, out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMidRange(out double level, out int status);

        // Microphone boost slider, in whole decibels; the status comes first in
        // the details.
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMicSliderBoost(out int status);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetMicSliderDetails(out int status, out int min, out int max, out int step);
        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int SetMicSliderBoost(int level, out int status);
    }

    /// <summary>A call did not do what was asked.</summary>
    public class VeltoSoundException : Exception
    {
        public VeltoSoundException(string export, string message) : base(export + ": " + message)
        {
            Export = export;
        }

        /// <summary>The export that answered.</summary>
        public string Export { get; private set; }
    }

    /// <summary>The platform (Core Audio, or the simulation) refused or failed the call.</summary>
    public class PlatformException : VeltoSoundException
    {
        public PlatformException(string export, string message) : base(export, message) { }
    }

    /// <summary>A control was used while no device is bound.</summary>
    public class NotBoundException : VeltoSoundException
    {
        public NotBoundException(string export) : base(export, "no device is bound") { }
    }

    public enum Flow { Playback, Recording }

    /// <summary>The three devices OpenSoundCard binds.</summary>
    [Flags]
    public enum Roles { None = 0, Playback = 1, Microphone = 2, Line = 4 }

    public sealed class Endpoint
    {
        internal Endpoint(Flow flow, int index, string name, string id)
        {
            Flow = flow;
            Index = index;
            Name = name;
            Id = id;
        }

        public Flow Flow { get; private set; }

        /// <summary>The position in the list: it can change between runs, bind by Id.</summary>
        public int Index { get; private set; }

        public string Name { get; private set; }

        /// <summary>The endpoint id, as the search text that binds this endpoint.</summary>
        public string Id { get; private set; }

        public override string ToString() { return Name; }
    }

    /// <summary>The bound devices' names; null for a device never bound.</summary>
    public sealed class DeviceNames
    {
        internal DeviceNames(string playback, string line, string microphone)
        {
            Playback = playback;
            Line = line;
            Microphone = microphone;
        }

        public string Playback { get; private set; }
        public string Line { get; private set; }
        public string Microphone { get; private set; }
    }

    public struct LevelRange : IEquatable<LevelRange>
    {
        public LevelRange(double min, double max, double step)
        {
            Min = min;
            Max = max;
            Step = step;
        }

        public double Min { get; private set; }
        public double Max { get; private set; }
        public double Step { get; private set; }

        public bool Equals(LevelRange other) { return Min == other.Min && Max == other.Max && Step == other.Step; }
        public override bool Equals(object other) { return other is LevelRange && Equals((LevelRange)other); }
        public override int GetHashCode() { return Min.GetHashCode() ^ Max.GetHashCode() ^ Step.GetHashCode(); }
        public override string ToString() { return "[" + Min + ", " + Max + "] step " + Step; }
    }

    /// <summary>What an Open bound; disposing it closes the binding.</summary>
    public sealed class Binding : IDisposable
    {
        private readonly Mixer mixer;

        internal Binding(Mixer mixer, Roles failed, bool restore)
        {
            this.mixer = mixer;
            Failed = failed;
            Restore = restore;
        }

        /// <summary>The devices that did not bind.</summary>
        public Roles Failed { get; private set; }

        /// <summary>Whether closing puts every control back as it was found.</summary>
        public bool Restore { get; set; }

        public void Dispose() { mixer.Close(Restore); }
    }

    /// <summary>The library's mixer. Its state is process-wide: every Mixer
    /// of a process drives the same binding, from one thread at a time.</summary>
    /// <remarks>Disposing closes the binding with restore and releases the
    /// virtual endpoint.</remarks>
    public sealed class Mixer : IDisposable
    {
        private static readonly Encoding Latin1 = Encoding.GetEncoding(28591);

        // OpenSoundCard's result is the exclusive-or of one code per failed device.
        private static readonly int[] FailureCodes = { 1, 3, 6 };
        private static readonly Roles[] RoleOrder = { Roles.Playback, Roles.Microphone, Roles.Line };

        private delegate int CountCall(out int count);
        private delegate int ItemCall(uint index, byte[] name, byte[] id);
        private delegate int GetCall(out int status);
        private delegate int SetCall(int value, out int status);
        private delegate int LevelGetCall(out double level, out int status);
        private delegate int LevelSetCall(double level, out int status);

        /// <summary>Loads the library and resolves every export.</summary>
        /// <exception cref="DllNotFoundException">The library is not where the
        /// process looks for it (or, on Windows, is of the other width).</exception>
        /// <remarks>Resolving here, not at the first call, makes a missing library
        /// fail the constructor, before a using block whose Dispose would call
        /// it again and hide the first failure.</remarks>
        public Mixer()
        {
            try
            {
                Marshal.PrelinkAll(typeof(NativeMethods));
            }
            catch (Exception e) when (e is DllNotFoundException || e is BadImageFormatException || e is EntryPointNotFoundException)
            {
                throw new DllNotFoundException("cannot load the VeltoSound library \"" + NativeMethods.Library
                    + "\" (VeltoSound.dll of the process's width beside the program or on PATH on Windows; "
                    + "libveltosound.so through LD_LIBRARY_PATH on Linux): " + e.Message, e);
            }
        }

        public void Dispose()
        {
            Close(true);
            CloseVirtual();
        }

        // --- Endpoints ---------------------------------------------------------

        public IList<Endpoint> PlaybackEndpoints()
        {
            return Endpoints(Flow.Playback, NativeMethods.GetNumberPlayDevices, NativeMethods.GetPlayBackDevice);
        }

        public IList<Endpoint> RecordingEndpoints()
        {
            return Endpoints(Flow.Recording, NativeMethods.GetNumberRecordDevices, NativeMethods.GetRecordDevice);
        }

        private static IList<Endpoint> Endpoints(Flow flow, CountCall countCall, ItemCall itemCall)
        {
            int count;
            if (countCall(out count) != 0)
                throw new PlatformException(countCall.Method.Name, "the endpoints cannot be listed");
            var endpoints = new List<Endpoint>();
            for (int index = 0; index < count; ++index)
            {
                var name = new byte[NativeMethods.BufferSize];
                var id = new byte[NativeMethods.BufferSize];
                int result = itemCall((uint)index, name, id);
                // Past the end GetRecordDevice answers the count: the list
                // shrank since it was counted; anything else is a failure.
                if (result != 0)
                    throw new PlatformException(itemCall.Method.Name, "endpoint " + index + ": result " + result);
                endpoints.Add(new Endpoint(flow, index, NameText(name), AnsiText(id)));
            }
            return endpoints;
        }

        public DeviceNames DeviceNames()
        {
            // A buffer the library leaves alone keeps its filler and has no NUL.
            var buffers = new byte[3][];
            for (int i = 0; i < buffers.Length; ++i)
            {
                buffers[i] = new byte[NativeMethods.BufferSize];
                for (int j = 0; j < NativeMethods.BufferSize; ++j) buffers[i][j] = 0xFF;
            }
            NativeMethods.GetDeviceNames(buffers[0], buffers[1], buffers[2]);
            return new DeviceNames(WrittenName(buffers[0]), WrittenName(buffers[1]), WrittenName(buffers[2]));
        }

        // Names are narrowed by keeping the low byte of each UTF-16 unit:
        // Latin-1 whatever the code page.
        private static string NameText(byte[] buffer)
        {
            int end = Array.IndexOf(buffer, (byte)0);
            return Latin1.GetString(buffer, 0, end < 0 ? buffer.Length : end);
        }

        private static string WrittenName(byte[] buffer)
        {
            return Array.IndexOf(buffer, (byte)0) < 0 ? null : NameText(buffer);
        }

        // Ids are ANSI: decoded as the marshaller encodes a search text, so that
        // an id passed back binds its endpoint.
        private static string AnsiText(byte[] buffer)
        {
            var pin = GCHandle.Alloc(buffer, GCHandleType.Pinned);
            try
            {
                return Marshal.PtrToStringAnsi(pin.AddrOfPinnedObject());
            }
            finally
            {
                pin.Free();
            }
        }

        // --- Binding -----------------------------------------------------------

        /// <summary>Binds the devices whose ids contain the texts (null or ""
        /// skips one). Disposing the result closes, with restore unless asked
        /// otherwise.</summary>
        public Binding Open(string playback = null, string microphone = null, string line = null, bool restore = true)
        {
            int code = NativeMethods.OpenSoundCard(playback, microphone, line);
            return new Binding(this, FailedRoles(code), restore);
        }

        private static Roles FailedRoles(int code)
        {
            for (int mask = 0; mask < 8; ++mask)
            {
                int combined = 0;
                var roles = Roles.None;
                for (int bit = 0; bit < 3; ++bit)
                {
                    if ((mask >> bit & 1) == 0) continue;
                    combined ^= FailureCodes[bit];
                    roles |= RoleOrder[bit];
                }
                if (combined == code) return roles;
            }
            throw new VeltoSoundException("OpenSoundCard", "unexpected result " + code);
        }

        /// <summary>Binds the system's default playback and recording endpoints.</summary>
        /// <remarks>The library tells only whether the default recording endpoint
        /// was found: Failed is None, and DeviceNames() shows what bound.</remarks>
        public Binding OpenDefaults(bool restore = true)
        {
            if (NativeMethods.OpenDefaultDevices() != 0)
                throw new PlatformException("OpenDefaultDevices", "no default recording endpoint");
            return new Binding(this, Roles.None, restore);
        }

        /// <summary>Releases every bound control, first putting each back as found if asked.</summary>
        public void Close(bool restore = false)
        {
            NativeMethods.CloseSoundCard(restore ? 1 : 0);
        }

        /// <summary>Binds the virtual endpoint's volume and mute; true when fully bound.</summary>
        public bool OpenVirtual(string search)
        {
            return NativeMethods.OpenVirtual_1(search) == 0;
        }

        public void CloseVirtual()
        {
            NativeMethods.CloseVirtual_1();
        }

        // --- Calls -------------------------------------------------------------

        private static T? Outcome<T>(string export, int status, T value) where T : struct
        {
            switch (status)
            {
                case 0: return value;
                case 1: return null;
                case 2: throw new PlatformException(export, "the platform call failed");
                case 3: throw new NotBoundException(export);
                default: throw new VeltoSoundException(export, "unexpected status " + status);
            }
        }

        private static int? GetInt(GetCall call)
        {
            int status;
            int value = call(out status);
            return Outcome(call.Method.Name, status, value);
        }

        private static bool? GetBool(GetCall call)
        {
            int? value = GetInt(call);
            return value.HasValue ? value != 0 : (bool?)null;
        }

        private static bool Set(SetCall call, int value)
        {
            int status;
            call(value, out status);
            return Outcome(call.Method.Name, status, true).HasValue;
        }

        // The result of GetMidRange is 1 even on success: only the status counts.
        private static double? GetLevel(LevelGetCall call)
        {
            double level;
            int status;
            call(out level, out status);
            return Outcome(call.Method.Name, status, level);
        }

        private static bool SetLevel(LevelSetCall call, double level)
        {
            int status;
            call(level, out status);
            return Outcome(call.Method.Name, status, true).HasValue;
        }

        // --- Volumes, in percent -----------------------------------------------

        public int? MasterVolume() { return GetInt(NativeMethods.GetMasterVolume); }
        public bool SetMasterVolume(int percent) { return Set(NativeMethods.SetMasterVolume, percent); }
        public int? LineMonitorVolume() { return GetInt(NativeMethods.GetLinePlayBack); }
        public bool SetLineMonitorVolume(int percent) { return Set(NativeMethods.SetLinePlayBack, percent); }
        public int? MicMonitorVolume() { return GetInt(NativeMethods.GetMicPlayBack); }
        public bool SetMicMonitorVolume(int percent) { return Set(NativeMethods.SetMicPlayBack, percent); }
        public int? LineRecordVolume() { return GetInt(NativeMethods.GetLineRecordVolume); }
        public bool SetLineRecordVolume(int percent) { return Set(NativeMethods.SetLineRecordVolume, percent); }
        public int? MicRecordVolume() { return GetInt(NativeMethods.GetMicRecordVolume); }
        public bool SetMicRecordVolume(int percent) { return Set(NativeMethods.SetMicRecordVolume, percent); }
        public int? VirtualVolume() { return GetInt(NativeMethods.GetVirtualVolume); }
        public bool SetVirtualVolume(int percent) { return Set(NativeMethods.SetVirtualVolume, percent); }

        // --- Mutes and switches ------------------------------------------------
        // SetMasterMute and SetVirtualMute report a refused write as a missing
        // control: false from them means "missing or refused".

        public bool? MasterMute() { return GetBool(NativeMethods.GetMasterMute); }
        public bool SetMasterMute(bool muted) { return Set(NativeMethods.SetMasterMute, muted ? 1 : 0); }
        public bool? LineMonitorMute() { return GetBool(NativeMethods.GetLinePlayBackMute); }
        public bool SetLineMonitorMute(bool muted) { return Set(NativeMethods.SetLinePlayBackMute, muted ? 1 : 0); }
        public bool? MicMonitorMute() { return GetBool(NativeMethods.GetMicPlayBackMute); }
        public bool SetMicMonitorMute(bool muted) { return Set(NativeMethods.SetMicPlayBackMute, muted ? 1 : 0); }
        public bool? VirtualMute() { return GetBool(NativeMethods.GetVirtualMute); }
        public bool SetVirtualMute(bool muted) { return Set(NativeMethods.SetVirtualMute, muted ? 1 : 0); }
        public bool? MicBoost() { return GetBool(NativeMethods.GetMicBoost); }
        public bool SetMicBoost(bool on) { return Set(NativeMethods.SetMicBoost, on ? 1 : 0); }

        /// <summary>The line input's automatic gain control (the NoMonitor exports).</summary>
        public bool? LineAgc() { return GetBool(NativeMethods.GetNoMonitor); }
        public bool SetLineAgc(bool on) { return Set(NativeMethods.SetNoMonitor, on ? 1 : 0); }

        // --- Tone controls, in decibels ----------------------------------------

        public double? Bass() { return GetLevel(NativeMethods.GetBass); }
        public bool SetBass(double db) { return SetLevel(NativeMethods.SetBass, db); }
        public double? Treble() { return GetLevel(NativeMethods.GetTreble); }
        public bool SetTreble(double db) { return SetLevel(NativeMethods.SetTreble, db); }
        public double? Midrange() { return GetLevel(NativeMethods.GetMidRange); }
        public bool SetMidrange(double db) { return SetLevel(NativeMethods.SetMidRange, db); }

        /// <summary>The range of the bass control (else midrange, else treble).</summary>
        public LevelRange? EqRange()
        {
            double min, max, step;
            int status = NativeMethods.GetEQRange(out min, out max, out step);
            return Outcome("GetEQRange", status, new LevelRange(min, max, step));
        }

        // --- Microphone boost level, in whole decibels -------------------------

        public int? MicBoostLevel() { return GetInt(NativeMethods.GetMicSliderBoost); }
        public bool SetMicBoostLevel(int db) { return Set(NativeMethods.SetMicSliderBoost, db); }

        public LevelRange? MicBoostLevelRange()
        {
            int status, min, max, step;
            NativeMethods.GetMicSliderDetails(out status, out min, out max, out step);
            return Outcome("GetMicSliderDetails", status, new LevelRange(min, max, step));
        }
    }
}
