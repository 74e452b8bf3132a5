// The C# bindings on python/tests/card.json (every control; treble writes fail),
// all cases in one process. Usage: mono VeltoSoundTests.exe REPOSITORY
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text.RegularExpressions;
using VeltoSound;

static class VeltoSoundTests
{
    static string Id(int flow, int n) { return "{0.0." + flow + ".00000000}.{00000000-0000-0000-0000-00000000000" + n + "}"; }
    static readonly string Speakers = Id(0, 1), LineIn = Id(1, 2), Microphone = Id(1, 3), Earphone = Id(0, 4), HeadsetMic = Id(1, 5);
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

    // Both sides as "return name(type [out] name, ...) convention charset library".
    static readonly Dictionary<string, string> Types = new Dictionary<string, string> {
        { "void", "System.Void" }, { "int", "System.Int32" }, { "unsigned int", "System.UInt32" }, { "double", "System.Double" },
        { "int*", "System.Int32& out" }, { "double*", "System.Double& out" }, { "const char*", "System.String" }, { "char*", "System.Byte[] out" } };
    static void DeclarationsMatchTheHeader()
    {
        var expected = Regex.Matches(File.ReadAllText(repository + "/include/veltosound.h"), @"VELTO_API (.+?) VELTO_CALL (\w+)\(([^)]*)\)").Cast<Match>()
            .Select(m => Types[m.Groups[1].Value] + " " + m.Groups[2].Value + "(" + string.Join(", ", m.Groups[3].Value.Split(',')
                .Where(p => p.Trim() != "void").Select(p => Regex.Match(p.Trim(), @"^(.+?) ?(\w+)$"))
                .Select(p => Types[p.Groups[1].Value] + " " + p.Groups[2].Value)) + ") StdCall Ansi veltosound").ToList();
        var declared = typeof(NativeMethods).GetMethods().Where(m => (m.Attributes & MethodAttributes.PinvokeImpl) != 0).Select(m => {
            var import = (DllImportAttribute)Attribute.GetCustomAttribute(m, typeof(DllImportAttribute));
            return m.ReturnType + " " + import.EntryPoint + "(" + string.Join(", ", m.GetParameters().Select(p => p.ParameterType + (p.IsOut ? " out " : " ")
                + p.Name + (p.GetCustomAttributes(typeof(MarshalAsAttribute), false).Length > 0 ? " as marshalled" : "")))
                + ") " + import.CallingConvention + " " + import.CharSet + " " + import.Value; }).ToList();
        var exported = Regex.Matches(File.ReadAllText(repository + "/exports/VeltoSound.def"), @"^\s+(\w+)\s+@\d+", RegexOptions.Multiline).Cast<Match>();
        Equal(44, exported.Count(), "exports");
        Equal(string.Join(" ", exported.Select(m => m.Groups[1].Value).OrderBy(n => n)), string.Join(" ", expected.Select(s => s.Split(' ', '(')[1]).OrderBy(n => n)), "export names");
        Equal("", string.Join("\n", expected.Except(declared).Select(s => "header:   " + s).Concat(declared.Except(expected).Select(s => "declared: " + s))), "declarations");
    }

    // (control, getter, setter of a value other than the card's, that value)
    static object[] Row(string name, Func<Mixer, object> get, Func<Mixer, bool> set, object value) { return new object[] { name, get, set, value }; }
    static readonly object[][] Controls = {
        Row("master volume", m => m.MasterVolume(), m => m.SetMasterVolume(50), 50),
        Row("line monitor volume", m => m.LineMonitorVolume(), m => m.SetLineMonitorVolume(50), 50),
        Row("mic monitor volume", m => m.MicMonitorVolume(), m => m.SetMicMonitorVolume(50), 50),
        Row("line record volume", m => m.LineRecordVolume(), m => m.SetLineRecordVolume(50), 50),
        Row("mic record volume", m => m.MicRecordVolume(), m => m.SetMicRecordVolume(50), 50),
        Row("master mute", m => m.MasterMute(), m => m.SetMasterMute(true), true),
        Row("line monitor mute", m => m.LineMonitorMute(), m => m.SetLineMonitorMute(true), true),
        Row("mic monitor mute", m => m.MicMonitorMute(), m => m.SetMicMonitorMute(false), false),
        Row("mic boost", m => m.MicBoost(), m => m.SetMicBoost(true), true),
        Row("line agc", m => m.LineAgc(), m => m.SetLineAgc(false), false),
        Row("bass", m => m.Bass(), m => m.SetBass(-4.5), -4.5),
        Row("midrange", m => m.Midrange(), m => m.SetMidrange(2.5), 2.5) };

    static void ControlsAreSetReadBackAndRestoredOnClose(Mixer m)
    {
        foreach (var row in Controls) {
            var get = (Func<Mixer, object>)row[1];
            object original;
            using (var binding = m.Open(Speakers, Microphone, LineIn)) {
                original = get(m);
                if (binding.Failed != Roles.None || original == null || original.Equals(row[3])) throw new Exception(row[0] + ": the card's value is " + original);
                Equal(true + " " + row[3], ((Func<Mixer, bool>)row[2])(m) + " " + get(m), (string)row[0]);
            }
            using (m.Open(Speakers, Microphone, LineIn, restore: false)) Equal(original, get(m), row[0] + " restored");
        }
    }

    static int Main(string[] args)
    {
        var m = new Mixer();
        repository = args[0];
        var cases = new List<KeyValuePair<string, Action>>();
        Action<string, Action> add = (name, run) => cases.Add(new KeyValuePair<string, Action>(name, run));
        add("declarations match the header", DeclarationsMatchTheHeader);
        add("endpoints come as objects", () => {
            Equal("Playback 0 " + Speakers + "|Playback 1 " + Earphone, string.Join("|", m.PlaybackEndpoints().Select(e => e.Flow + " " + e.Index + " " + e.Id)));
            Equal(LineIn + "|" + Microphone + "|" + HeadsetMic, string.Join("|", m.RecordingEndpoints().Select(e => e.Id)));
            Equal("Speakers (Example Card)", m.PlaybackEndpoints()[0].Name); });
        add("open names the devices that did not bind", () => {
            for (int mask = 0; mask < 8; ++mask)
                using (var binding = m.Open((mask & 1) != 0 ? "none" : Speakers, (mask & 2) != 0 ? "none" : Microphone, (mask & 4) != 0 ? "none" : LineIn))
                    Equal((Roles)mask, binding.Failed, "mask " + mask); });
        add("an endpoint binds by its id", () => {
            using (var binding = m.Open(playback: m.PlaybackEndpoints()[0].Id)) Equal(Roles.None + " Speakers (Example Card)", binding.Failed + " " + m.DeviceNames().Playback); });
        add("controls are set, read back and restored on close", () => ControlsAreSetReadBackAndRestoredOnClose(m));
        add("tone levels cross as doubles; a failed platform call raises", () => {
            using (m.Open(Speakers)) {
                Equal(new LevelRange(-12, 12, 1.5), m.EqRange()); Equal(true, m.SetBass(1.25)); Equal(1.25, m.Bass());
                Throws<PlatformException>("SetTreble", () => m.SetTreble(3.0)); Equal(-1.5, m.Treble()); } });
        add("a control the binding did not find is null, or false when set", () => {
            using (m.Open(Speakers)) {
                foreach (var get in new Func<object>[] { () => m.MicRecordVolume(), () => m.MicBoost(), () => m.LineAgc(), () => m.MicBoostLevel(), () => m.MicBoostLevelRange(), () => m.VirtualVolume() })
                    Equal(null, get());
                Equal(false, m.SetMicBoost(true) || m.SetVirtualMute(true)); } });
        add("controls without a bound device raise", () => {
            Throws<NotBoundException>("GetMasterVolume", () => m.MasterVolume()); Throws<NotBoundException>("GetEQRange", () => m.EqRange()); });
        add("device names come back by role", () => {
            using (m.Open(Speakers, HeadsetMic, LineIn)) { var names = m.DeviceNames();
                Equal("Speakers (Example Card)|Line In (Example Card)|Headset Microphone (USB Headset)", names.Playback + "|" + names.Line + "|" + names.Microphone); } });
        add("boost level in whole decibels", () => {
            using (m.Open(microphone: HeadsetMic)) {
                Equal(null, m.MicBoost()); Equal(10, m.MicBoostLevel()); Equal(new LevelRange(0, 30, 10), m.MicBoostLevelRange());
                Equal(true, m.SetMicBoostLevel(20)); Equal(20, m.MicBoostLevel()); } });
        add("the virtual endpoint lives outside the binding; a disposed mixer restores and releases it", () => {
            Equal(true, m.OpenVirtual(m.PlaybackEndpoints()[1].Id) && m.SetVirtualVolume(50)); Equal(50, m.VirtualVolume());
            m.CloseVirtual(); Equal(null, m.VirtualVolume());
            using (var other = new Mixer()) { other.Open(Speakers); other.SetMasterVolume(50); other.OpenVirtual(Earphone); }
            using (m.Open(Speakers, restore: false)) Equal(25 + " " + null, m.MasterVolume() + " " + m.VirtualVolume()); });
        add("defaults bind the default devices", () => {
            using (m.OpenDefaults()) Equal("Speakers (Example Card) Line In (Example Card) True", m.DeviceNames().Playback + " " + m.DeviceNames().Line + " " + m.LineAgc()); });
        int failed = 0;
        foreach (var test in cases) {
            try { test.Value(); Console.WriteLine("ok   " + test.Key); } catch (Exception e) { ++failed; Console.WriteLine("FAIL " + test.Key + ": " + e); }
            m.Close(restore: true);
            m.CloseVirtual();
        }
        Console.WriteLine(failed + " of " + cases.Count + " cases failed");
        return failed == 0 ? 0 : 1;
    }
}
