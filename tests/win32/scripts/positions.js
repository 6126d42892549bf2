// _clsAVLt3's members as JScript calls them: its numbers arrive as Longs or Doubles, its arrays are
// objects the server reads element by element, and arrays come back through VBArray. JScript
// cannot assign to a parameterised property, so ItemAt is only read here (positions.vbs writes it).
function filled() {
  var store = new ActiveXObject("Quilmar.clsAVLt");
  store.Indata("pear", "P");
  store.Indata("apple", "A");
  store.Indata("fig", "F");
  store.Indata("kiwi", "K");
  return store;
}

// "key=item ..." in order, from Keys and Items.
function pairs(store) {
  var keys = new VBArray(store.Keys()).toArray(), items = new VBArray(store.Items()).toArray();
  var text = [];
  for (var i = 0; i < keys.length; ++i) text.push(keys[i] + "=" + items[i]);
  return text.join(" ");
}

// CompareMode: set on an empty store, read back; text mode ignores case.
var t = new ActiveXObject("Quilmar.clsAVLt");
checkEq(t.CompareMode, 0, "new: CompareMode");
t.CompareMode = 2.5;
checkEq(t.CompareMode, 2, "CompareMode = 2.5");
t.CompareMode = 1;
t.Indata("cherry");
t.Indata("Banana");
t.Indata("apple");
checkEq(joined(t.Keys()), "apple Banana cherry", "text mode: the order");
checkEq(t.IndexOf("BANANA"), 1, "text mode: IndexOf(BANANA)");
checkEq(errorOf(function () { t.CompareMode = 0; }), 5, "CompareMode = 0 with keys stored");
var u = new ActiveXObject("Quilmar.clsAVLt");
checkEq(errorOf(function () { u.CompareMode = -1; }), 5, "CompareMode = -1");
checkEq(errorOf(function () { u.CompareMode = "text"; }), 13, "CompareMode = \"text\"");
checkEq(t.CompareMode, 1, "CompareMode after the refusal");

// KeyAt, ItemAt, IndexOf: an index from a number of either kind or from text.
var p = filled();
var keyAts = [[0, "apple"], [3, "pear"], ["2", "kiwi"], [2.0, "kiwi"], [1.5, "kiwi"],
              [2.5, "kiwi"]];
for (var i = 0; i < keyAts.length; ++i)
  checkEq(p.KeyAt(keyAts[i][0]), keyAts[i][1], "KeyAt(" + shown(keyAts[i][0]) + ")");
checkEq(p.ItemAt(0), "A", "ItemAt(0)");
checkEq(p.ItemAt("3"), "P", "ItemAt(\"3\")");
var refusals = [[function () { p.KeyAt(4); }, 9, "KeyAt(4)"],
                [function () { p.KeyAt(-1); }, 9, "KeyAt(-1)"],
                [function () { p.KeyAt("x"); }, 13, "KeyAt(\"x\")"],
                [function () { p.KeyAt(null); }, 13, "KeyAt(null)"],
                [function () { p.KeyAt([1]); }, 13, "KeyAt(an array)"],
                [function () { p.KeyAt(3e10); }, 6, "KeyAt(3e10)"],
                [function () { p.ItemAt(4); }, 9, "ItemAt(4)"],
                [function () { p.RemoveAt(4); }, 9, "RemoveAt(4)"],
                [function () { p.Position = 4; }, 9, "Position = 4"],
                [function () { p.Position = "x"; }, 13, "Position = \"x\""]];
for (var i = 0; i < refusals.length; ++i)
  checkEq(errorOf(refusals[i][0]), refusals[i][1], refusals[i][2]);
checkEq(pairs(p), "apple=A fig=F kiwi=K pear=P", "the store after the refusals");
var indexes = [["kiwi", 2], ["zzz", -1], ["", -1], [undefined, -1], [null, -1], [NaN, -1],
               [[1], -1]];
for (var i = 0; i < indexes.length; ++i)
  checkEq(p.IndexOf(indexes[i][0]), indexes[i][1], "IndexOf(" + shown(indexes[i][0]) + ")");

// Position moves the cursor Read and ReadSub use, and ends a blocked reading.
check(p.Find("fig"), "Find(fig)");
checkEq(p.Position, 1, "Position after Find");
p.Position = "3";
checkEq(p.ReadSub(), "P", "ReadSub after Position = \"3\"");
p.Read(READ_NEXT);
checkEq(p.Position, -1, "Position while reading is blocked");
p.Position = 0;
checkEq(p.Read(READ_NEXT), "fig", "Position = 0 ends the block");

// RemoveAt, with an index as text.
p.RemoveAt("1");
checkEq(pairs(p), "apple=A kiwi=K pear=P", "RemoveAt(\"1\")");

// Load takes a JScript array as a 1-D source (a hole or undefined is a blank), and a 2-D array
// that came from ToArray, in its 1-based bounds.
u = new ActiveXObject("Quilmar.clsAVLt");
checkEq(u.Load(["pear", , "apple", undefined, "", 10]), 3, "Load(a JScript array)");
checkEq(pairs(u), "10= apple= pear=", "Load(a JScript array): the pairs");
var grid = filled().ToArray();
u = new ActiveXObject("Quilmar.clsAVLt");
checkEq(u.Load(grid), 4, "Load(ToArray())");
checkEq(pairs(u), "apple=1 fig=2 kiwi=3 pear=4", "Load(ToArray()): each key with its row");
u = new ActiveXObject("Quilmar.clsAVLt");
checkEq(u.Load(grid, 2, 1), 4, "Load(ToArray(), 2, 1)");
checkEq(pairs(u), "A=apple F=fig K=kiwi P=pear", "Load(ToArray(), 2, 1): the pairs");
var loads = [[function () { u.Load(["b", null]); }, 5, "Load([\"b\", null])"],
             [function () { u.Load(["b", NaN]); }, 5, "Load([\"b\", NaN])"],
             [function () { u.Load(["b", [1]]); }, 5, "Load([\"b\", [1]])"],
             [function () { u.Load("x"); }, 13, "Load(\"x\")"],
             [function () { u.Load(grid, 0); }, 5, "Load(grid, 0): below its bounds"],
             [function () { u.Load(["b"], 0); }, 5, "Load([\"b\"], 0)"]];
for (var i = 0; i < loads.length; ++i) checkEq(errorOf(loads[i][0]), loads[i][1], loads[i][2]);
var description = "no error";
try {
  u.Load(["b", "c", null]);
} catch (e) {
  description = e.description;
}
checkEq(description, "Invalid procedure call or argument (row 2)", "the row in the description");
checkEq(pairs(u), "A=apple F=fig K=kiwi P=pear", "the store after Load's refusals");

// ToArray: 2-D, 1-based; VBArray flattens it a column at a time.
var a = new VBArray(filled().ToArray("b", "l"));
checkEq(a.dimensions() + " " + a.lbound(1) + " " + a.ubound(1) + " " + a.lbound(2) + " " +
        a.ubound(2), "2 1 2 1 2", "ToArray(b, l): the bounds");
checkEq(a.getItem(2, 1) + " " + a.getItem(2, 2), "kiwi K", "ToArray(b, l): row 2");
checkEq(a.toArray().join(" "), "fig kiwi F K", "ToArray(b, l): the columns");
checkEq(new VBArray(filled().ToArray(undefined, "b")).ubound(1), 1, "ToArray(undefined, High)");
a = new VBArray(new ActiveXObject("Quilmar.clsAVLt").ToArray());
checkEq(a.ubound(1) + " " + a.ubound(2), "0 2", "ToArray() of an empty store: the bounds");

// Sort: a JScript array gives a 0-based array of Variants; a 2-D array keeps its bounds.
var sorted = new VBArray(p.Sort([3, , "b", 1])).toArray();
checkEq(sorted.length + " " + sorted.slice(0, 3).join(" ") + " " + sorted[3], "4 1 3 b undefined",
        "Sort([3, , \"b\", 1])");
checkEq(joined(p.Sort(["b", "A", "a", "B"])), "A B a b", "Sort in binary mode");
checkEq(joined(t.Sort(["b", "A", "a", "B"])), "A a b B", "Sort in text mode: stable");
checkEq(joined(p.Sort([1, 3, 2], undefined, true)), "3 2 1", "Sort(values, undefined, true)");
a = new VBArray(p.Sort(grid, 2, true));
checkEq(a.lbound(1) + " " + a.ubound(1) + " " + a.toArray().slice(0, 4).join(" "),
        "1 4 pear kiwi fig apple", "Sort(ToArray(), 2, true)");
a = new VBArray(p.Sort(grid, [2, 1], [true, false]));
checkEq(a.getItem(1, 1), "pear", "Sort(ToArray(), [2, 1], [true, false])");
var sorts = [[function () { p.Sort("x"); }, 13, "Sort(\"x\")"],
             [function () { p.Sort([1, p]); }, 13, "Sort of an object"],
             [function () { p.Sort([1, 2], 0); }, 5, "Sort(1-D, 0)"],
             [function () { p.Sort(grid, 3); }, 5, "Sort(grid, 3)"],
             [function () { p.Sort(grid, [1, 2], [true]); }, 5, "Sort(grid, [1, 2], [true])"],
             [function () { p.Sort(grid, 1, "maybe"); }, 13, "Sort(grid, 1, \"maybe\")"]];
for (var i = 0; i < sorts.length; ++i) checkEq(errorOf(sorts[i][0]), sorts[i][1], sorts[i][2]);
finish();
