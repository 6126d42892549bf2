// The collection members as JScript uses them: no by-reference arguments and no assignment to a
// parameterised property, so Enumerator, VBArray, Item as a method, Indata for assignment, and
// errors as exceptions.
var t = new ActiveXObject("Quilmar.clsAVLt");

checkEq(walked(t), "", "empty: Enumerator");
checkEq(new VBArray(t.Keys()).ubound(1), -1, "empty: ubound of Keys()");
checkEq(new VBArray(t.Items()).toArray().length, 0, "empty: Items()");
checkEq(t.Seek("k"), undefined, "empty: Seek");

t.Indata("pear", "p1");
t.Indata("apple", 2);
t.Indata("pear", "p2");
t.Indata(10, "ten");
t.Indata(9.5);
t.Indata("fig", "f");
checkEq(t.Count, 6, "Count");
checkEq(walked(t), "9.5 10 apple fig pear pear", "Enumerator: ascending, every copy");
checkEq(joined(t.Keys()), "9.5 10 apple fig pear pear", "Keys()");
checkEq(joined(t.Items(), "|"), "|ten|2|f|p1|p2", "Items()");
checkEq(joined(t.Keys("b", "p")), "fig", "Keys(Low, High)");
checkEq(joined(t.Keys(10)), "10 apple fig pear pear", "Keys(Low)");
checkEq(joined(t.Keys(undefined, "b")), "9.5 10 apple", "Keys(undefined, High): no low bound");
checkEq(joined(t.Items("fig", "pear")), "f p1 p2", "Items(Low, High)");
checkEq(new VBArray(t.Keys("q", "z")).ubound(1), -1, "an empty range");

// Item is called as a method; the keys' types survive the trip.
checkEq(t.Item("pear"), "p1", "Item: the first equal key");
checkEq(t.Item("apple"), 2, "Item of a number payload");
checkEq(t.Item(10), "ten", "Item of a number key");
var cases = [["fig", true], ["FIG", false], [10, true], ["10", false], ["", false],
             [undefined, false], [null, false]];
for (var i = 0; i < cases.length; ++i)
  checkEq(t.Exists(cases[i][0]), cases[i][1], "Exists(" + shown(cases[i][0]) + ")");
checkEq(typeof new VBArray(t.Keys()).toArray()[1], "number", "a number key stays a number");

// Indata under USE_LAST_DATA is assignment's twin: it replaces the pair or inserts it.
var store2 = new ActiveXObject("Quilmar.clsAVLt");
store2.Egnore = USE_LAST_DATA;
store2.Indata("k", "first");
store2.Indata("k", "second");
store2.Indata("j", "new");
checkEq(store2.Count, 2, "Indata replacing: Count");
checkEq(joined(store2.Items()), "new second", "Indata replacing: the payloads");

// Find, then ReadSub and Read; a JScript variable cannot take FAULT back, so the loop counts.
check(t.Find("fig"), "Find(fig)");
checkEq(t.ReadSub(), "f", "ReadSub after Find");
checkEq(t.Read(READ_NEXT), "pear", "Read(READ_NEXT) after Find");
check(!t.Find("plum"), "Find(plum)");
checkEq(t.ReadSub(), "p1", "a failed Find keeps the cursor");
var lines = [];
for (var n = 0; n < t.Count; ++n)
  lines.push(t.Read(n == 0 ? START_READ : READ_NEXT) + "=" + t.ReadSub());
checkEq(lines.join(" "), "9.5= 10=ten apple=2 fig=f pear=p1 pear=p2", "a loop over Count");

// Seek in every mode from a known cursor (on "zz", payload "z") that a miss leaves.
var u = new ActiveXObject("Quilmar.clsAVLt");
u.Indata(20, "b1");
u.Indata(10, "a");
u.Indata(30, "c");
u.Indata(20, "b2");
u.Indata("zz", "z");
var seeks = [[20, SEEK_FIRST_EQ, 20, "b1"], [20, SEEK_LAST_EQ, 20, "b2"],
             [20, SEEK_AFTER_EQ, 20, "b1"], [20, SEEK_AFTER, 30, "c"],
             [20, SEEK_BEFORE_EQ, 20, "b2"], [20, SEEK_BEFORE, 10, "a"],
             [15, SEEK_AFTER_EQ, 20, "b1"], [25, SEEK_BEFORE, 20, "b2"],
             ["a", SEEK_BEFORE, 30, "c"], ["a", SEEK_AFTER_EQ, "zz", "z"],
             [15, SEEK_FIRST_EQ, undefined, "z"], ["zz", SEEK_AFTER, undefined, "z"],
             [10, SEEK_BEFORE, undefined, "z"], [null, SEEK_AFTER_EQ, undefined, "z"]];
for (var i = 0; i < seeks.length; ++i) {
  var c = seeks[i], what = "Seek(" + shown(c[0]) + ", " + c[1] + ")";
  u.Find("zz");
  checkEq(u.Seek(c[0], c[1]), c[2], what);
  checkEq(u.ReadSub(), c[3], "the cursor after " + what);
}
checkEq(u.Seek(25), 30, "Seek without How");

// Errors arrive as exceptions carrying the VB error number; the store stays usable.
checkEq(errorOf(function () { t.Item("absent"); }), 9, "Item of an absent key");
checkEq(errorOf(function () { u.Seek(20, 3); }), 5, "Seek with another How");
checkEq(errorOf(function () { t.Exists("absent"); }), "none", "Exists of an absent key");
try {
  t.Item("absent");
} catch (e) {
  checkEq(e.number, 0x800A0009 | 0, "the exception's number");
  checkEq(e.description, "Subscript out of range", "the exception's description");
}
checkEq(t.Count, 6, "the store after the errors");
finish();
