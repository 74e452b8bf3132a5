// The C# bindings over libveltosound.so on python/tests/card.json (the card
// the Python module's tests use: every control, and treble writes that fail).
// Every case runs in this process; the two that need another description run
// this program again. Usage: mono VeltoSoundTests.exe REPOSITORY
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text.RegularExpressions;
using VeltoSound;

static class VeltoSoundTests
{
    const string Speakers = "{0.0.0.00000000}.{00000000-0000-0000-0000-000000000001}";
    const string LineIn = "{0.0.1.00000000}.{00000000-0000-0000-0000-000000000002}";
    const string Microphone = "{0.0.1.00000000}.{00000000-0000-0000-0000-000000000003}";
    const string Earphone = "{0.0.0.00000000}.{00000000-0000-0000-0000-000000000004}";
    const string HeadsetMic = "{0.0.1.00000000}.{00000000-0000-0000-0000-000000000005}";
    const string NoSuchEndpoint = "no such endpoint";
    static string repository;

    static void Equal(object expected, object actual, string what = "")
    {
        if (!Equals(expected, actual)) throw new Exception(what + ": expected " + (expected ?? "null") + ", got " + (actual ?? "null"));
    }

    static void Throws<E>(string export, Func<object> call) where E : VeltoSoundException
    {
        try { call(); } catch (E e) { Equal(export, e.Export, "export"); return; }
        throw new Exception("no " + typeof(E).Name + " from " + export);
    }

    // "return type name(parameter type [out] name, ...) convention charset library",
    // from the header's C types and from the P/Invoke declarations.
    static readonly Dictionary<string, string> Types = new Dictionary<string, string> {
        { "void", "System.Void" }, { "int", "System.Int32" }, { "unsigned int", "System.UInt32" },
        { "double", "System.Double" }, { "int*", "System.Int32& out" }, { "double*", "System.Double& out" },
        { "const char*", "System.String" }, { "char*", "System.Byte[] out" } };
    static void DeclarationsMatchTheHeader()
    {
        var header = File.ReadAllText(Path.Combine(repository, "include/veltosound.h"));
        var expected = Regex.Matches(header, @"VELTO_API (.+?) VELTO_CALL (\w+)\(([^)]*)\)").Cast<Match>().Select(m =>
            Types[m.Groups[1].Value] + " " + m.Groups[2].Value + "(" + string.Join(", ", m.Groups[3].Value.Split(',')
                .Where(p => p.Trim() != "void").Select(p => Regex.Match(p.Trim(), @"^(.+?) ?(\w+)$"))
                .Select(p => Types[p.Groups[1].Value] + " " + p.Groups[2].Value)) + ") StdCall Ansi veltosound").ToList();
        var declared = typeof(NativeMethods).GetMethods().Where(m => (m.Attributes & MethodAttributes.PinvokeImpl) != 0).Select(m => {
            var import = (DllImportAttribute)Attribute.GetCustomAttribute(m, typeof(DllImportAttribute));
            return m.ReturnType + " " + import.EntryPoint + "(" + string.Join(", ", m.GetParameters().Select(p =>
                p.ParameterType + (p.IsOut ? " out " : " ") + p.Name + (p.GetCustomAttributes(typeof(MarshalAsAttribute), false).Length > 0 ? " as marshalled" : ""))) + ") " + import.CallingConvention + " " + import.CharSet + " " + import.Value;
        }).ToList();
        var exported = Regex.Matches(File.ReadAllText(Path.Combine(repository, "exports/VeltoSound.def")), @"^\s+(\w+)\s+@\d+", RegexOptions.Multiline);
        Equal(44, exported.Count, "exports");
        Equal(string.Join(" ", exported.Cast<Match>().Select(m => m.Groups[1].Value).OrderBy(n => n)),
              string.Join(" ", expected.Select(s => s.Split(' ', '(')[1]).OrderBy(n => n)), "header names");
        Equal("", string.Join("\n", expected.Except(declared).Select(s => "header:   " + s).Concat(declared.Except(expected).Select(s => "declared: " + s))), "declarations");
    }

    // (control, getter, setter with a value other than the card's, that value)
    static readonly object[][] Controls = {
        new object[] { "master volume", (Func<Mixer, object>)(m => m.MasterVolume()), (Func<Mixer, bool>)(m => m.SetMasterVolume(50)), 50 },
        new object[] { "line monitor volume", (Func<Mixer, object>)(m => m.LineMonitorVolume()), (Func<Mixer, bool>)(m => m.SetLineMonitorVolume(50)), 50 },
        new object[] { "mic monitor volume", (Func<Mixer, object>)(m => m.MicMonitorVolume()), (Func<Mixer, bool>)(m => m.SetMicMonitorVolume(50)), 50 },
        new object[] { "line record volume", (Func<Mixer, object>)(m => m.LineRecordVolume()), (Func<Mixer, bool>)(m => m.SetLineRecordVolume(50)), 50 },
        new object[] { "mic record volume", (Func<Mixer, object>)(m => m.MicRecordVolume()), (Func<Mixer, bool>)(m => m.SetMicRecordVolume(50)), 50 },
        new object[] { "master mute", (Func<Mixer, object>)(m => m.MasterMute()), (Func<Mixer, bool>)(m => m.SetMasterMute(true)), true },
        new object[] { "line monitor mute", (Func<Mixer, object>)(m => m.LineMonitorMute()), (Func<Mixer, bool>)(m => m.SetLineMonitorMute(true)), true },
        new object[] { "mic monitor mute", (Func<Mixer, object>)(m => m.MicMonitorMute()), (Func<Mixer, bool>)(m => m.SetMicMonitorMute(false)), false },
        new object[] { "mic boost", (Func<Mixer, object>)(m => m.MicBoost()), (Func<Mixer, bool>)(m => m.SetMicBoost(true)), true },
        new object[] { "line agc", (Func<Mixer, object>)(m => m.LineAgc()), (Func<Mixer, bool>)(m => m.SetLineAgc(false)), false },
        new object[] { "bass", (Func<Mixer, object>)(m => m.Bass()), (Func<Mixer, bool>)(m => m.SetBass(-4.5)), -4.5 },
        new object[] { "midrange", (Func<Mixer, object>)(m => m.Midrange()), (Func<Mixer, bool>)(m => m.SetMidrange(2.5)), 2.5 } };

    static void ControlsAreSetReadBackAndRestoredOnClose(Mixer m)
    {
        foreach (var row in Controls) {
            var get = (Func<Mixer, object>)row[1];
            object original;
            using (var binding = m.Open(Speakers, Microphone, LineIn)) {
                Equal(Roles.None, binding.Failed, (string)row[0]);
                original = get(m);
                if (original == null || original.Equals(row[3])) throw new Exception(row[0] + ": the card's value is " + original);
                Equal(true, ((Func<Mixer, bool>)row[2])(m), (string)row[0]);
                Equal(row[3], get(m), (string)row[0]);
            }
            using (m.Open(Speakers, Microphone, LineIn, restore: false)) Equal(original, get(m), row[0] + " restored");
        }
        using (var other = new Mixer()) {  // disposing the mixer restores and releases the virtual endpoint
            other.Open(Speakers);
            other.SetMasterVolume(50);
            Equal(true, other.OpenVirtual(Earphone), "virtual");
        }
        using (m.Open(Speakers, restore: false)) Equal(25, m.MasterVolume(), "restored by the mixer");
        Equal(null, m.VirtualVolume(), "virtual volume after dispose");
    }

    // Runs this program on another description: what the library lists and whether the defaults bind.
    static void Listing(Mixer m)
    {
        Console.WriteLine(string.Join("|", m.PlaybackEndpoints()) + " " + m.RecordingEndpoints().Count);
        try { m.OpenDefaults().Dispose(); Console.WriteLine("bound"); }
        catch (PlatformException e) { Console.WriteLine("refused " + e.Export); }
    }

    static void ListsOn(string system, string content, string stdout, string stderr)
    {
        if (content != null) File.WriteAllText(system, content);
        var start = new ProcessStartInfo(Process.GetCurrentProcess().MainModule.FileName,
            "\"" + Assembly.GetExecutingAssembly().Location + "\" --listing") { UseShellExecute = false, RedirectStandardOutput = true, RedirectStandardError = true };
        start.EnvironmentVariables["VELTOSOUND_SYSTEM"] = system;
        using (var child = Process.Start(start)) {
            string output = child.StandardOutput.ReadToEnd(), errors = child.StandardError.ReadToEnd();
            child.WaitForExit();
            Equal(stdout, output.Replace("\r", ""), system);
            if (!(stderr == "" ? errors == "" : errors.Contains("veltosound: VELTOSOUND_SYSTEM: " + system) && errors.Contains(stderr)))
                throw new Exception(system + ": stderr " + errors);
        }
    }

    static int Main(string[] args)
    {
        var m = new Mixer();
        if (args[0] == "--listing") { Listing(m); return 0; }
        repository = args[0];
        string scratch = Path.Combine(Path.GetTempPath(), "veltosound-cs-" + Process.GetCurrentProcess().Id);
        Directory.CreateDirectory(scratch);
        var cases = new Dictionary<string, Action> {
            { "declarations match the header", DeclarationsMatchTheHeader },
            { "endpoints come as objects", () => {
                Equal("Playback 0 " + Speakers + "|Playback 1 " + Earphone, string.Join("|", m.PlaybackEndpoints().Select(e => e.Flow + " " + e.Index + " " + e.Id)));
                Equal(LineIn + "|" + Microphone + "|" + HeadsetMic, string.Join("|", m.RecordingEndpoints().Select(e => e.Id)));
                Equal("Speakers (Example Card)", m.PlaybackEndpoints()[0].Name); } },
            { "open names the devices that did not bind", () => {
                for (int mask = 0; mask < 8; ++mask)
                    using (var binding = m.Open((mask & 1) != 0 ? NoSuchEndpoint : Speakers, (mask & 2) != 0 ? NoSuchEndpoint : Microphone, (mask & 4) != 0 ? NoSuchEndpoint : LineIn))
                        Equal((Roles)mask, binding.Failed, "mask " + mask); } },
            { "an endpoint binds by its id", () => {
                using (var binding = m.Open(playback: m.PlaybackEndpoints()[0].Id)) {
                    Equal(Roles.None, binding.Failed);
                    Equal("Speakers (Example Card)", m.DeviceNames().Playback); } } },
            { "controls are set, read back and restored on close", () => ControlsAreSetReadBackAndRestoredOnClose(m) },
            { "tone levels cross as doubles", () => {
                using (m.Open(Speakers)) {
                    Equal(new LevelRange(-12, 12, 1.5), m.EqRange());
                    Equal(true, m.SetBass(1.25));
                    Equal(1.25, m.Bass());
                    Equal(-1.5, m.Treble()); } } },
            { "a control the binding did not find is null, or false when set", () => {
                using (m.Open(Speakers)) {
                    foreach (var get in new Func<object>[] { () => m.MicRecordVolume(), () => m.MicBoost(), () => m.LineAgc(), () => m.MicBoostLevel(), () => m.MicBoostLevelRange(), () => m.VirtualVolume() })
                        Equal(null, get());
                    Equal(false, m.SetMicBoost(true), "SetMicBoost");
                    Equal(false, m.SetVirtualMute(true), "SetVirtualMute"); } } },
            { "a failed platform call raises", () => {
                using (m.Open(Speakers)) {
                    Throws<PlatformException>("SetTreble", () => m.SetTreble(3.0));
                    Equal(-1.5, m.Treble()); } } },
            { "controls without a bound device raise", () => {
                Throws<NotBoundException>("GetMasterVolume", () => m.MasterVolume());
                Throws<NotBoundException>("GetEQRange", () => m.EqRange()); } },
            { "device names come back by role", () => {
                using (m.Open(Speakers, HeadsetMic, LineIn)) {
                    var names = m.DeviceNames();
                    Equal("Speakers (Example Card)|Line In (Example Card)|Headset Microphone (USB Headset)", names.Playback + "|" + names.Line + "|" + names.Microphone); } } },
            { "boost level in whole decibels", () => {
                using (m.Open(microphone: HeadsetMic)) {
                    Equal(null, m.MicBoost());
                    Equal(10, m.MicBoostLevel());
                    Equal(new LevelRange(0, 30, 10), m.MicBoostLevelRange());
                    Equal(true, m.SetMicBoostLevel(20));
                    Equal(20, m.MicBoostLevel()); } } },
            { "the virtual endpoint lives outside the binding", () => {
                Equal(true, m.OpenVirtual(m.PlaybackEndpoints()[1].Id));
                Equal(true, m.SetVirtualVolume(50));
                Equal(50, m.VirtualVolume());
                m.CloseVirtual();
                Equal(null, m.VirtualVolume()); } },
            { "defaults bind the default devices", () => {
                using (m.OpenDefaults()) {
                    Equal("Speakers (Example Card)", m.DeviceNames().Playback);
                    Equal("Line In (Example Card)", m.DeviceNames().Line);
                    Equal(true, m.LineAgc()); } } },
            { "a bad description is reported and gives no devices", () => {
                ListsOn(Path.Combine(scratch, "missing.json"), null, " 0\nrefused OpenDefaultDevices\n", "cannot be read");
                ListsOn(Path.Combine(scratch, "not-json.json"), "{\"endpoints\": [", " 0\nrefused OpenDefaultDevices\n", "parse error");
                ListsOn(Path.Combine(scratch, "invalid.json"), "{\"endpoints\": [{\"flow\": \"render\"}]}", " 0\nrefused OpenDefaultDevices\n", "/endpoints/0"); } },
            { "the description named by the environment is used", () => ListsOn(Path.Combine(repository, "tests/systems/controls/control_card.json"),
                null, "Speakers (Control Card)|Headphones (Control Card) 2\nbound\n", "") } };
        int failed = 0;
        foreach (var test in cases) {
            try { test.Value(); Console.WriteLine("ok   " + test.Key); }
            catch (Exception e) { ++failed; Console.WriteLine("FAIL " + test.Key + ": " + e); }
            m.Close(restore: true);
            m.CloseVirtual();
        }
        Directory.Delete(scratch, true);
        Console.WriteLine(failed == 0 ? "all " + cases.Count + " cases passed" : failed + " of " + cases.Count + " cases failed");
        return failed == 0 ? 0 : 1;
    }
}
