// Removal as JScript uses it: Remove's count, a loop that removes with RemoveCurrent, an
// Enumerator while removing, RemoveAll.
function filled(keys) {
  var store = new ActiveXObject("Quilmar.clsAVLt");
  for (var i = 0; i < keys.length; ++i) store.Indata(keys[i], "p" + keys[i]);
  return store;
}

var s = filled(["pear", "apple", "pear", 10, "fig"]);
var removes = [["pear", 2, "10 apple fig"], ["pear", 0, "10 apple fig"], ["10", 0, "10 apple fig"],
               [10, 1, "apple fig"], ["", 0, "apple fig"], [null, 0, "apple fig"],
               [undefined, 0, "apple fig"]];
for (var i = 0; i < removes.length; ++i) {
  var c = removes[i];
  checkEq(s.Remove(c[0]), c[1], "Remove(" + shown(c[0]) + ")");
  checkEq(walked(s), c[2], "the keys after Remove(" + shown(c[0]) + ")");
}
checkEq(s.Count, 2, "Count after the removals");
checkEq(s.MemorySize, 100, "MemorySize does not change");

// A loop that removes as it goes, one key a step; RemoveCurrent answers the next key. A JScript
// variable cannot take FAULT back, so the loop counts, and stops before a step past the end.
s = filled([5, 3, 8, 1, 4, 7, 9, 2, 6, 10]);
var key = s.Read(START_READ), answers = [];
for (var left = s.Count; left > 0; --left) {
  if (key % 3 == 0) {
    key = s.RemoveCurrent();
    answers.push(key + "=" + s.ReadSub());
  } else if (left > 1) {
    key = s.Read(READ_NEXT);
  }
}
checkEq(answers.join(" "), "4=p4 7=p7 10=p10", "RemoveCurrent's answers and the cursor");
checkEq(walked(s), "1 2 4 5 7 8 10", "RemoveCurrent while walking");
check(s.Find(10), "Find(10)");
checkEq(s.RemoveCurrent(), "", "RemoveCurrent of the last key");
checkEq(s.Read(START_READ), 1, "reading not blocked after it");

// An Enumerator while removing: a key removed ahead is not returned, the current one may go.
s = filled(["c", "a", "e", "b", "d", "f"]);
var seen = [];
for (var e = new Enumerator(s); !e.atEnd(); e.moveNext()) {
  var k = e.item();
  seen.push(k);
  if (k == "b") {
    s.Remove("b");
    s.Remove("c");
  } else if (k == "d") {
    s.Remove("a");
  }
}
checkEq(seen.join(" "), "a b d e f", "Enumerator while removing");
checkEq(walked(s), "d e f", "what remains");

// RemoveAll keeps the policy and the size.
s = filled(["a", "b", "c"]);
s.Egnore = USE_LAST_DATA;
s.RemoveAll();
checkEq(s.Count, 0, "Count after RemoveAll");
checkEq(new VBArray(s.Keys()).ubound(1), -1, "Keys after RemoveAll");
checkEq(s.MemorySize, 100, "MemorySize kept");
checkEq(s.Egnore, USE_LAST_DATA, "Egnore kept");
s.Indata("n", 1);
s.Indata("n", 2);
checkEq(joined(s.Items()), "2", "the kept policy");
finish();
