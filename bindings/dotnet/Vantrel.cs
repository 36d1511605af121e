// Vantrel for .NET: reads alert definition texts into plain records and
// writes them back, through the C interface (include/vantrel/vantrel.h) of
// the vantrel_c library. One file: add it to a project, and put the native
// library where the runtime finds it.
//
//   var defs = Vantrel.Codec.Parse(Vantrel.Kind.Func,
//       "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ " +
//       "--#--Beta--#----{--y--}----{--k2==b1--}--");
//   // defs.Combination == 1; defs.Definitions[0].NameText == "Alpha";
//   // defs.Definitions[0].Params[0].ValueTexts() == { "a1", "a2" }
//   string text = Vantrel.Codec.WriteString(Vantrel.Kind.Func, defs);
//
// Texts are bytes: every byte value is ordinary, NUL included, and nothing
// requires UTF-8. The records hold byte arrays so that no byte is lost; the
// ...Text members and the string overloads convert with strict UTF-8 and
// throw (System.Text.DecoderFallbackException) on bytes that are not UTF-8
// rather than replace them.
//
// The native library. The imports name "vantrel_c":
//  - Mono on Linux loads libvantrel_c.so (the development link). Without it,
//    map the name to the run-time file in the program's .config file:
//      <dllmap dll="vantrel_c" target="libvantrel_c.so.1" os="!windows"/>
//  - On Windows the library is VantrelC.dll. .NET (Core 3.0 and later) maps
//    the name itself (the resolver below); Mono on Windows takes
//      <dllmap dll="vantrel_c" target="VantrelC.dll" os="windows"/>
//    .NET Framework has neither: copy VantrelC.dll to vantrel_c.dll.
//
// Thread safety: calls may run on several threads at once; each call works
// on its own native handle.

using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Text;

namespace Vantrel {

/// <summary>Which texts: a function definition or a filter
/// definition.</summary>
public enum Kind { Func = 0, Filter = 1 }

/// <summary>One parameter of a condition: a key and its values.</summary>
public sealed class DefinitionParam {
  public byte[] Key { get; set; }
  public List<byte[]> Values { get; private set; }

  public DefinitionParam(byte[] key, params byte[][] values) {
    Key = key ?? throw new ArgumentNullException("key");
    Values = new List<byte[]>(values ?? new byte[0][]);
  }
  public DefinitionParam(string key, params string[] values)
      : this(Utf8.Encode(key), Utf8.EncodeAll(values)) {}

  public string KeyText { get { return Utf8.Decode(Key); } }
  public List<string> ValueTexts() { return Utf8.DecodeAll(Values); }
}

/// <summary>One condition: its name, its detail and its
/// parameters.</summary>
public sealed class AlertDefinition {
  public byte[] Name { get; set; }
  public byte[] Detail { get; set; }
  public List<DefinitionParam> Params { get; private set; }

  public AlertDefinition(byte[] name, byte[] detail,
                         params DefinitionParam[] parameters) {
    Name = name ?? throw new ArgumentNullException("name");
    Detail = detail ?? throw new ArgumentNullException("detail");
    Params = new List<DefinitionParam>(parameters ?? new DefinitionParam[0]);
  }
  public AlertDefinition(string name, string detail,
                         params DefinitionParam[] parameters)
      : this(Utf8.Encode(name), Utf8.Encode(detail), parameters) {}

  public string NameText { get { return Utf8.Decode(Name); } }
  public string DetailText { get { return Utf8.Decode(Detail); } }
}

/// <summary>A definition: its conditions, and how they are joined
/// (Combination 0 by "@@OR@@", 1 by "@@AND@@").</summary>
public sealed class AlertDefinitions {
  public List<AlertDefinition> Definitions { get; private set; }
  public uint Combination { get; set; }

  public AlertDefinitions(uint combination = 0,
                          params AlertDefinition[] definitions) {
    Combination = combination;
    Definitions = new List<AlertDefinition>(definitions ?? new AlertDefinition[0]);
  }
}

/// <summary>A text the reader rejected. Piece is the rejected piece's number
/// (from 1) and Offset its byte offset in the text; Definitions holds the
/// records read before it (and the combination, if a joiner came
/// before).</summary>
public sealed class ParseException : Exception {
  public ulong Piece { get; private set; }
  public ulong Offset { get; private set; }
  public AlertDefinitions Definitions { get; private set; }

  public ParseException(ulong piece, ulong offset, AlertDefinitions definitions)
      : base(string.Format("piece {0} (at byte {1}) is rejected", piece, offset)) {
    Piece = piece;
    Offset = offset;
    Definitions = definitions;
  }
}

/// <summary>A status of the C interface that is not a rejection: an invalid
/// argument or an index past the end (a fault of this binding's use of the
/// library), or a library of another interface version.</summary>
public sealed class VantrelException : Exception {
  public VantrelException(string message) : base(message) {}
}

/// <summary>The library's owned definitions handle, freed with
/// vantrel_free.</summary>
public sealed class DefinitionsHandle : SafeHandle {
  public DefinitionsHandle() : base(IntPtr.Zero, true) {}
  public override bool IsInvalid { get { return handle == IntPtr.Zero; } }
  protected override bool ReleaseHandle() {
    Native.vantrel_free(handle);
    return true;
  }
}

/// <summary>Parse, write and the round-trip verdicts.</summary>
public static class Codec {
  /// <summary>The interface version this file is written for
  /// (VANTREL_C_ABI_VERSION).</summary>
  public const uint AbiVersion = 1;

  static Codec() {
    uint loaded = Native.vantrel_abi_version();
    if (loaded != AbiVersion) {
      throw new VantrelException(string.Format(
          "the vantrel_c library loaded has interface version {0}, this binding needs {1}",
          loaded, AbiVersion));
    }
  }

  /// <summary>The library's version, "1.0.0".</summary>
  public static string Version {
    get { return Marshal.PtrToStringAnsi(Native.vantrel_version()); }
  }

  /// <summary>Reads a text into new records (Combination 0 unless the text
  /// holds a joiner). Throws ParseException on a rejected
  /// piece.</summary>
  public static AlertDefinitions Parse(Kind kind, byte[] text) {
    if (text == null) throw new ArgumentNullException("text");
    using (DefinitionsHandle handle = New(0)) {
      Native.Rejection rejection;
      Status status = Native.vantrel_parse(handle, kind, text,
                                           (UIntPtr)text.Length, out rejection);
      if (status != Status.Ok && status != Status.Rejected) Check(status);
      AlertDefinitions defs = Read(handle);
      if (status == Status.Rejected) {
        throw new ParseException((ulong)rejection.Piece, (ulong)rejection.Offset,
                                 defs);
      }
      return defs;
    }
  }
  public static AlertDefinitions Parse(Kind kind, string text) {
    return Parse(kind, Utf8.Encode(text));
  }

  /// <summary>Writes the records' text.</summary>
  public static byte[] Write(Kind kind, AlertDefinitions defs) {
    using (DefinitionsHandle handle = Build(defs)) {
      IntPtr text;
      UIntPtr size;
      Check(Native.vantrel_write_alloc(handle, kind, out text, out size));
      try {
        byte[] bytes = new byte[checked((int)(ulong)size)];
        Marshal.Copy(text, bytes, 0, bytes.Length);
        return bytes;
      } finally {
        Native.vantrel_free_text(text);
      }
    }
  }
  /// <summary>Writes the records' text as a string (the records' bytes must
  /// be UTF-8).</summary>
  public static string WriteString(Kind kind, AlertDefinitions defs) {
    return Utf8.Decode(Write(kind, defs));
  }

  /// <summary>Whether the text is accepted and written back exactly as it
  /// is.</summary>
  public static bool TextSurvives(Kind kind, byte[] text) {
    if (text == null) throw new ArgumentNullException("text");
    int survives;
    Check(Native.vantrel_text_survives(kind, text, (UIntPtr)text.Length,
                                       out survives));
    return survives != 0;
  }
  public static bool TextSurvives(Kind kind, string text) {
    return TextSurvives(kind, Utf8.Encode(text));
  }

  /// <summary>Whether the records, written and read back into records of the
  /// same Combination, come back the same.</summary>
  public static bool RecordsSurvive(Kind kind, AlertDefinitions defs) {
    using (DefinitionsHandle handle = Build(defs)) {
      int survives;
      Check(Native.vantrel_records_survive(handle, kind, out survives));
      return survives != 0;
    }
  }

  static DefinitionsHandle New(uint combination) {
    DefinitionsHandle handle;
    Check(Native.vantrel_new(combination, out handle));
    return handle;
  }

  static DefinitionsHandle Build(AlertDefinitions defs) {
    if (defs == null) throw new ArgumentNullException("defs");
    DefinitionsHandle handle = New(defs.Combination);
    try {
      foreach (AlertDefinition d in defs.Definitions) {
        Check(Native.vantrel_add_condition(handle, d.Name, (UIntPtr)d.Name.Length,
                                           d.Detail, (UIntPtr)d.Detail.Length));
        foreach (DefinitionParam p in d.Params) {
          Check(Native.vantrel_add_param(handle, p.Key, (UIntPtr)p.Key.Length));
          foreach (byte[] v in p.Values) {
            Check(Native.vantrel_add_value(handle, v, (UIntPtr)v.Length));
          }
        }
      }
      return handle;
    } catch {
      handle.Dispose();
      throw;
    }
  }

  static AlertDefinitions Read(DefinitionsHandle handle) {
    var defs = new AlertDefinitions(Native.vantrel_combination(handle));
    ulong count = (ulong)Native.vantrel_condition_count(handle);
    for (ulong c = 0; c < count; ++c) {
      Native.Text name, detail;
      UIntPtr paramCount;
      Check(Native.vantrel_condition(handle, (UIntPtr)c, out name, out detail,
                                     out paramCount));
      var definition = new AlertDefinition(name.ToArray(), detail.ToArray());
      for (ulong p = 0; p < (ulong)paramCount; ++p) {
        Native.Text key;
        UIntPtr valueCount;
        Check(Native.vantrel_param(handle, (UIntPtr)c, (UIntPtr)p, out key,
                                   out valueCount));
        var param = new DefinitionParam(key.ToArray());
        for (ulong v = 0; v < (ulong)valueCount; ++v) {
          Native.Text value;
          Check(Native.vantrel_value(handle, (UIntPtr)c, (UIntPtr)p, (UIntPtr)v,
                                     out value));
          param.Values.Add(value.ToArray());
        }
        definition.Params.Add(param);
      }
      defs.Definitions.Add(definition);
    }
    return defs;
  }

  static void Check(Status status) {
    switch (status) {
      case Status.Ok:
        return;
      case Status.OutOfMemory:
        throw new OutOfMemoryException("vantrel_c: out of memory");
      default:
        throw new VantrelException(
            "vantrel_c: " + Marshal.PtrToStringAnsi(Native.vantrel_status_name(status)));
    }
  }
}

enum Status {
  Ok = 0,
  Rejected = 1,
  OutOfMemory = 2,
  InvalidArgument = 3,
  BufferTooSmall = 4,
  OutOfRange = 5
}

static class Utf8 {
  // Strict: bytes that are not UTF-8 throw instead of becoming U+FFFD.
  static readonly UTF8Encoding Strict = new UTF8Encoding(false, true);

  public static byte[] Encode(string s) {
    if (s == null) throw new ArgumentNullException("s");
    return Strict.GetBytes(s);
  }
  public static byte[][] EncodeAll(string[] all) {
    if (all == null) return new byte[0][];
    var result = new byte[all.Length][];
    for (int i = 0; i < all.Length; ++i) result[i] = Encode(all[i]);
    return result;
  }
  public static string Decode(byte[] bytes) { return Strict.GetString(bytes); }
  public static List<string> DecodeAll(List<byte[]> all) {
    var result = new List<string>(all.Count);
    foreach (byte[] b in all) result.Add(Decode(b));
    return result;
  }
}

static class Native {
  const string Library = "vantrel_c";

  [StructLayout(LayoutKind.Sequential)]
  internal struct Text {
    public IntPtr Data;
    public UIntPtr Size;
    public byte[] ToArray() {
      byte[] bytes = new byte[checked((int)(ulong)Size)];
      if (bytes.Length != 0) Marshal.Copy(Data, bytes, 0, bytes.Length);
      return bytes;
    }
  }

  [StructLayout(LayoutKind.Sequential)]
  internal struct Rejection {
    public UIntPtr Piece;
    public UIntPtr Offset;
  }

#if NETCOREAPP3_0_OR_GREATER
  // .NET: "vantrel_c" is VantrelC.dll on Windows, libvantrel_c.so.1 on Linux.
  static Native() {
    NativeLibrary.SetDllImportResolver(typeof(Native).Assembly, (name, assembly, path) => {
      if (name != Library) return IntPtr.Zero;
      return NativeLibrary.Load(
          RuntimeInformation.IsOSPlatform(OSPlatform.Windows) ? "VantrelC.dll"
                                                               : "libvantrel_c.so.1",
          assembly, path);
    });
  }
#endif

  const CallingConvention Cdecl = CallingConvention.Cdecl;

  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern IntPtr vantrel_version();
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern uint vantrel_abi_version();
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern IntPtr vantrel_status_name(Status status);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_new(uint combination,
                                            out DefinitionsHandle handle);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern void vantrel_free(IntPtr handle);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_parse(DefinitionsHandle handle, Kind kind,
                                              [In] byte[] text, UIntPtr size,
                                              out Rejection rejection);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern UIntPtr vantrel_condition_count(DefinitionsHandle handle);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern uint vantrel_combination(DefinitionsHandle handle);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_condition(DefinitionsHandle handle,
                                                  UIntPtr condition, out Text name,
                                                  out Text detail,
                                                  out UIntPtr paramCount);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_param(DefinitionsHandle handle,
                                              UIntPtr condition, UIntPtr param,
                                              out Text key, out UIntPtr valueCount);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_value(DefinitionsHandle handle,
                                              UIntPtr condition, UIntPtr param,
                                              UIntPtr value, out Text text);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_add_condition(DefinitionsHandle handle,
                                                      [In] byte[] name,
                                                      UIntPtr nameSize,
                                                      [In] byte[] detail,
                                                      UIntPtr detailSize);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_add_param(DefinitionsHandle handle,
                                                  [In] byte[] key, UIntPtr keySize);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_add_value(DefinitionsHandle handle,
                                                  [In] byte[] value,
                                                  UIntPtr valueSize);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_write_alloc(DefinitionsHandle handle,
                                                    Kind kind, out IntPtr text,
                                                    out UIntPtr size);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern void vantrel_free_text(IntPtr text);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_text_survives(Kind kind, [In] byte[] text,
                                                      UIntPtr size,
                                                      out int survives);
  [DllImport(Library, CallingConvention = Cdecl)]
  internal static extern Status vantrel_records_survive(DefinitionsHandle handle,
                                                        Kind kind,
                                                        out int survives);
}

}  // namespace Vantrel
