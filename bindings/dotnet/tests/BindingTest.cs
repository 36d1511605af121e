// The C# binding against the vantrel_c library: the worked example both
// ways, a rejection (its piece, its offset and the records before it),
// bytes with NUL and bytes that are not UTF-8, and agreement with the C++
// exports on the texts that vantrel_dotnet_cases generated (its file is the
// first argument), and the library's version (the second). Prints each failure and a summary; exits 1 on any
// failure.

using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Text;
using Vantrel;

static class BindingTest {
  static int checks = 0;
  static int failures = 0;

  static void Expect(bool ok, string what) {
    ++checks;
    if (!ok) {
      ++failures;
      Console.WriteLine("FAILED: " + what);
    }
  }

  static string Show(byte[] bytes) {
    var s = new StringBuilder("\"");
    foreach (byte b in bytes) {
      if (b >= 0x20 && b < 0x7f && b != (byte)'"' && b != (byte)'\\') {
        s.Append((char)b);
      } else {
        s.AppendFormat("\\x{0:x2}", b);
      }
    }
    return s.Append('"').ToString();
  }

  static string Show(AlertDefinitions defs) {
    var s = new StringBuilder();
    s.Append("combination ").Append(defs.Combination).Append(" [");
    foreach (AlertDefinition d in defs.Definitions) {
      s.Append(" {").Append(Show(d.Name)).Append(' ').Append(Show(d.Detail));
      foreach (DefinitionParam p in d.Params) {
        s.Append(' ').Append(Show(p.Key)).Append(':');
        s.Append(string.Join(",", p.Values.Select(Show)));
      }
      s.Append('}');
    }
    return s.Append(" ]").ToString();
  }

  static bool Same(AlertDefinitions a, AlertDefinitions b) {
    return Show(a) == Show(b);
  }

  static byte[] Bytes(string s) { return Encoding.UTF8.GetBytes(s); }

  const string Alpha = "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}--";
  const string Beta = "--#--Beta--#----{--y--}----{--k2==b1--}--";
  const string Delta = "--#--Delta--#----{--w--}----{--k4--}--";

  static AlertDefinitions WorkedRecords() {
    return new AlertDefinitions(
        1, new AlertDefinition("Alpha", "x", new DefinitionParam("k1", "a1", "a2")),
        new AlertDefinition("Beta", "y", new DefinitionParam("k2", "b1")));
  }

  static void WorkedExample() {
    string text = Alpha + " @@AND@@ " + Beta;
    foreach (Kind kind in new[] {Kind.Func, Kind.Filter}) {
      AlertDefinitions read = Codec.Parse(kind, text);
      Expect(Same(read, WorkedRecords()), kind + ": worked example read as " + Show(read));
      Expect(read.Definitions[0].Params[0].ValueTexts().SequenceEqual(new[] {"a1", "a2"}),
             kind + ": Alpha's values as strings");
      Expect(Codec.WriteString(kind, WorkedRecords()) == text,
             kind + ": worked example written as " + Codec.WriteString(kind, WorkedRecords()));
      Expect(Codec.Write(kind, WorkedRecords()).SequenceEqual(Bytes(text)),
             kind + ": worked example written as bytes");
      Expect(Codec.TextSurvives(kind, text), kind + ": worked example survives");
      Expect(Codec.RecordsSurvive(kind, WorkedRecords()), kind + ": its records survive");
    }
  }

  // Rejected texts, each with the piece rejected and the records before it.
  static void Rejections() {
    var cases = new[] {
        new {Text = Delta, Piece = 1UL, Before = new AlertDefinitions(0)},
        new {Text = Alpha + " @@AND@@ " + Delta + " @@AND@@ " + Beta, Piece = 2UL,
             Before = new AlertDefinitions(
                 1, new AlertDefinition("Alpha", "x", new DefinitionParam("k1", "a1", "a2")))},
        new {Text = Beta + " @@OR@@ " + Alpha + " @@OR@@ " + Delta, Piece = 3UL,
             Before = new AlertDefinitions(
                 0, new AlertDefinition("Beta", "y", new DefinitionParam("k2", "b1")),
                 new AlertDefinition("Alpha", "x", new DefinitionParam("k1", "a1", "a2")))},
    };
    foreach (var c in cases) {
      try {
        AlertDefinitions read = Codec.Parse(Kind.Func, c.Text);
        Expect(false, "accepted " + c.Text + " as " + Show(read));
      } catch (ParseException e) {
        Expect(e.Piece == c.Piece, c.Text + ": piece " + e.Piece);
        // The rejected piece is Delta's: it starts just after the joiner
        // before it (its blank is the piece's), or at 0.
        int delta = c.Text.IndexOf(Delta, StringComparison.Ordinal);
        int start = delta == 0 ? 0 : c.Text.LastIndexOf("@@", delta, StringComparison.Ordinal) + 2;
        Expect(e.Offset == (ulong)start, c.Text + ": offset " + e.Offset + ", expected " + start);
        Expect(Same(e.Definitions, c.Before),
               c.Text + ": records before it " + Show(e.Definitions));
      }
      Expect(!Codec.TextSurvives(Kind.Func, c.Text), c.Text + ": does not survive");
    }
  }

  // Fields with NUL and with bytes that are not UTF-8 go through unchanged.
  static void OddBytes() {
    var records = new AlertDefinitions(
        0,
        new AlertDefinition(new byte[] {(byte)'N', 0, (byte)'m'}, new byte[] {0xff, 0xfe},
                            new DefinitionParam(new byte[] {0}, new byte[] {0xc3},
                                                new byte[0], new byte[] {0, 0})),
        new AlertDefinition(new byte[] {0x80}, new byte[0]));
    byte[] text = Codec.Write(Kind.Func, records);
    Expect(Array.IndexOf(text, (byte)0) >= 0 && Array.IndexOf(text, (byte)0xff) >= 0,
           "written text keeps the bytes: " + Show(text));
    AlertDefinitions read = Codec.Parse(Kind.Func, text);
    Expect(Same(read, records), "bytes read back as " + Show(read));
    Expect(Codec.RecordsSurvive(Kind.Func, records), "records of odd bytes survive");
    Expect(Codec.TextSurvives(Kind.Func, text), "their text survives");
    try {
      Codec.WriteString(Kind.Func, records);
      Expect(false, "a text that is not UTF-8 became a string");
    } catch (DecoderFallbackException) {
      Expect(true, "");
    }
    try {
      string name = read.Definitions[0].DetailText;
      Expect(false, "a field that is not UTF-8 became the string " + name);
    } catch (DecoderFallbackException) {
      Expect(true, "");
    }
    // A text with NUL in it is parsed whole: nothing stops at the zero byte.
    byte[] withNul = Bytes(Alpha + " @@AND@@ " + Beta);
    withNul[Alpha.Length + " @@AND@@ --#--".Length] = 0;  // the "B" of Beta's name
    AlertDefinitions nul = Codec.Parse(Kind.Func, withNul);
    Expect(nul.Definitions.Count == 2 && Show(nul.Definitions[1].Name) == "\"\\x00eta\"",
           "a NUL in the text read as " + Show(nul));
  }

  static byte[] Unhex(string field) {
    if (field == "-") return new byte[0];
    var bytes = new byte[field.Length / 2];
    for (int i = 0; i < bytes.Length; ++i) {
      bytes[i] = Convert.ToByte(field.Substring(2 * i, 2), 16);
    }
    return bytes;
  }

  // The cases of vantrel_dotnet_cases: the C++ exports' results, compared
  // with the binding's.
  static void Generated(string path) {
    int cases = 0;
    foreach (string line in File.ReadLines(path)) {
      string[] f = line.Split(' ');
      int at = 0;
      Kind kind = f[at++] == "filter" ? Kind.Filter : Kind.Func;
      bool accepted = f[at++] == "1";
      byte[] text = Unhex(f[at++]);
      var expected = new AlertDefinitions(uint.Parse(f[at++]));
      int conditions = int.Parse(f[at++]);
      for (int c = 0; c < conditions; ++c) {
        var d = new AlertDefinition(Unhex(f[at++]), Unhex(f[at++]));
        int parameters = int.Parse(f[at++]);
        for (int p = 0; p < parameters; ++p) {
          var param = new DefinitionParam(Unhex(f[at++]));
          int values = int.Parse(f[at++]);
          for (int v = 0; v < values; ++v) param.Values.Add(Unhex(f[at++]));
          d.Params.Add(param);
        }
        expected.Definitions.Add(d);
      }
      byte[] written = Unhex(f[at++]);
      bool textSurvives = f[at++] == "1";
      bool recordsSurvive = f[at++] == "1";
      ++cases;

      AlertDefinitions read;
      bool readAccepted = true;
      try {
        read = Codec.Parse(kind, text);
      } catch (ParseException e) {
        readAccepted = false;
        read = e.Definitions;
      }
      string label = kind + " " + Show(text);
      Expect(readAccepted == accepted, label + ": accepted " + readAccepted);
      Expect(Same(read, expected), label + ": read " + Show(read) + ", C++ " + Show(expected));
      Expect(Codec.Write(kind, expected).SequenceEqual(written), label + ": written");
      Expect(Codec.TextSurvives(kind, text) == textSurvives, label + ": text verdict");
      Expect(Codec.RecordsSurvive(kind, expected) == recordsSurvive,
             label + ": records verdict");
    }
    Expect(cases > 1000, "generated cases: " + cases);
    Console.WriteLine("{0} generated cases", cases);
  }

  static int Main(string[] args) {
    if (args.Length != 2) {
      Console.Error.WriteLine("usage: BindingTest.exe <cases file> <version>");
      return 2;
    }
    Expect(Codec.Version == args[1], "version " + Codec.Version);
    WorkedExample();
    Rejections();
    OddBytes();
    Generated(args[0]);
    Console.WriteLine("{0} checks, {1} failed", checks, failures);
    return failures == 0 ? 0 : 1;
  }
}
