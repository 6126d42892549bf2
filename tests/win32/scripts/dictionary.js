// Quilmar.SortedDictionary as JScript calls it: the same calls on it and on Scripting.Dictionary,
// whose answers must match but for the order, then the sorted extras. JScript cannot assign to a
// parameterised property, so Item is read with a call, pairs go in with Add, and Key (a
// property put with an argument) is left to dictionary.vbs.
function pairs(dict) {
  var keys = new VBArray(dict.Keys()).toArray(), items = new VBArray(dict.Items()).toArray();
  var text = [];
  for (var i = 0; i < keys.length; ++i) text.push(shown(keys[i]) + "=" + shown(items[i]));
  return text.join(" ");
}

// The same calls on either dictionary; one line an answer.
function played(dict) {
  var lines = [], obj = {};
  dict.Add("pear", 3);
  dict.Add(10, "ten");
  dict.Add(2.5, obj);
  lines.push("Item(kiwi) of a missing key: " + shown(dict.Item("kiwi")));
  lines.push("Count: " + dict.Count);
  lines.push("Exists(pear PEAR 10 \"10\" kiwi): " + dict.Exists("pear") + " " +
             dict.Exists("PEAR") + " " + dict.Exists(10) + " " + dict.Exists("10") + " " +
             dict.Exists("kiwi"));
  lines.push("Item(2.5) is the object: " + (dict.Item(2.5) === obj));
  lines.push("Add of a present key: " + errorOf(function () { dict.Add("pear", 4); }));
  lines.push("Add without an item: " + errorOf(function () { dict.Add("lime"); }));
  lines.push("Remove of a missing key: " + errorOf(function () { dict.Remove("lime"); }));
  lines.push("CompareMode with keys present: " +
             errorOf(function () { dict.CompareMode = 1; }) + " " + dict.CompareMode);
  dict.Remove("pear");
  var keys = new VBArray(dict.Keys()).toArray().sort(function (a, b) {
    return String(a) < String(b) ? -1 : String(a) > String(b) ? 1 : 0;
  });
  lines.push("keys: " + keys.join(" "));
  for (var e = new Enumerator(dict); !e.atEnd(); e.moveNext()) dict.Remove(e.item());
  lines.push("Count after removing each in the Enumerator: " + dict.Count);
  dict.Add("a", 1);
  dict.RemoveAll();
  lines.push("RemoveAll: " + dict.Count + " " + new VBArray(dict.Keys()).ubound(1));
  dict.CompareMode = 1;
  dict.Add("x", 1);
  lines.push("text mode: Add(X) with x present: " + errorOf(function () { dict.Add("X", 2); }));
  lines.push("text mode: " + dict.CompareMode + " " + dict.Exists("X") + " " + dict.Item("X"));
  return lines;
}

var ours = played(new ActiveXObject("Quilmar.SortedDictionary"));
var theirs = played(new ActiveXObject("Scripting.Dictionary"));
var expected = ["Item(kiwi) of a missing key: undefined", "Count: 4",
                "Exists(pear PEAR 10 \"10\" kiwi): true false true false true",
                "Item(2.5) is the object: true", "Add of a present key: 457",
                "Add without an item: 450", "Remove of a missing key: 32811",
                "CompareMode with keys present: 5 0", "keys: 10 2.5 kiwi",
                "Count after removing each in the Enumerator: 0", "RemoveAll: 0 -1",
                "text mode: Add(X) with x present: 457", "text mode: 1 true 1"];
checkEq(ours.length, expected.length, "lines played");
checkEq(theirs.length, expected.length, "lines played by Scripting.Dictionary");
for (var i = 0; i < expected.length; ++i) {
  checkEq(ours[i], expected[i], "played");
  checkEq(ours[i], theirs[i], "played beside Scripting.Dictionary");
}

// The order, and keys only this class takes: null; a JScript array is an object, a key by
// identity; NaN is refused wherever it would be stored.
var d = new ActiveXObject("Quilmar.SortedDictionary"), list = [1];
d.Add("pear", 3);
d.Add(10, "ten");
d.Add(null, "null");
d.Add(list, "list");
d.Add(2.5, true);
checkEq(pairs(d), "null=\"null\" 2.5 (number)=true (boolean) 10 (number)=\"ten\" " +
        "\"pear\"=3 (number) 1 (object)=\"list\"", "Keys() and Items() in key order");
checkEq(walked(d), " 2.5 10 pear 1", "Enumerator (null joins as \"\")");
checkEq(d.Item(list), "list", "an array as a key: itself");
checkEq(d.Exists([1]), false, "an array as a key: by identity");
checkEq(errorOf(function () { d.Add(NaN, 1); }), 5, "Add(NaN)");
checkEq(errorOf(function () { d.Item(NaN); }), 5, "Item(NaN)");
checkEq(d.Exists(NaN), false, "Exists(NaN)");
checkEq(errorOf(function () { d.Remove(NaN); }), 32811, "Remove(NaN)");

// The sorted extras: one call each.
checkEq(d.KeyAt("2"), 10, "KeyAt(\"2\")");
checkEq(d.ItemAt(2.0), "ten", "ItemAt(2.0)");
checkEq(d.IndexOf("pear") + " " + d.IndexOf("zzz") + " " + d.IndexOf(null), "3 -1 0", "IndexOf");
checkEq(d.Seek(3) + " " + d.Seek(3, SEEK_BEFORE) + " " + d.Seek("zzz", SEEK_FIRST_EQ),
        "10 2.5 undefined", "Seek");
checkEq(joined(d.Keys(2, 10)) + "|" + joined(d.Items(undefined, 3)), "2.5 10|null true",
        "Keys and Items with bounds");
var a = new VBArray(d.ToArray(10, "z"));
checkEq(a.ubound(1) + " " + a.ubound(2) + " " + a.getItem(2, 1) + " " + a.getItem(2, 2),
        "2 2 pear 3", "ToArray(10, z)");
checkEq(joined(d.Sort(["b", 2, "a"])), "2 a b", "Sort");
d.RemoveAt(0);
checkEq(d.Exists(null), false, "RemoveAt(0)");
var refusals = [[function () { d.KeyAt(d.Count); }, 9, "KeyAt(Count)"],
                [function () { d.ItemAt(-1); }, 9, "ItemAt(-1)"],
                [function () { d.RemoveAt("x"); }, 13, "RemoveAt(\"x\")"],
                [function () { d.Seek("a", 3); }, 5, "Seek with another How"],
                [function () { d.CompareMode = -1; }, 5, "CompareMode = -1"]];
for (var i = 0; i < refusals.length; ++i)
  checkEq(errorOf(refusals[i][0]), refusals[i][1], refusals[i][2]);

// Load from a JScript array: each key with the item Empty; a hole or "" is a blank.
d = new ActiveXObject("Quilmar.SortedDictionary");
checkEq(d.Load(["b", , null, "", "a", "b"]), 4, "Load(a JScript array)");
checkEq(pairs(d), "null=undefined \"a\"=undefined \"b\"=undefined", "Load: the pairs");
checkEq(errorOf(function () { d.Load([NaN]); }), 5, "Load([NaN])");
checkEq(d.Count, 3, "the dictionary after Load's refusal");
finish();
