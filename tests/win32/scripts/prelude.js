// Joined in front of every JScript test by the harness: the enumerations, checks and the summary
// line that the harness requires (cscript itself exits 0 even when a script dies).
var WRITE_DATA = 0, START_READ = 1, READ_NEXT = 2, READ_BACK = 3, READ_MID = 4;
var END_READ = 5, FAULT = 6;
var NOT_EGNORE = 0, USE_FIRST_DATA = 1, USE_LAST_DATA = 2;
var SEEK_FIRST_EQ = 1, SEEK_LAST_EQ = 2, SEEK_AFTER_EQ = 4, SEEK_AFTER = 8;
var SEEK_BEFORE_EQ = 16, SEEK_BEFORE = 32;

var checks = 0, failures = 0;

function shown(v) {
  if (v === undefined) return "undefined";
  if (v === null) return "null";
  if (typeof v == "string") return '"' + v + '"';
  return String(v) + " (" + typeof v + ")";
}

function check(ok, what) {
  ++checks;
  if (!ok) {
    ++failures;
    WScript.Echo("FAIL: " + what);
  }
}

// The same value and type: a number is not its text, undefined (Empty) is not "".
function checkEq(actual, expected, what) {
  check(actual === expected, what + ": got " + shown(actual) + ", expected " + shown(expected));
}

// The VB error number of what a call threw ("none" when it threw nothing): the low word of the
// exception's number, whose high word says it came from a VB-style error. An argument that does
// not convert is refused by Invoke itself with its standard status, which Windows' JScript turns
// into the VB number as VBScript does; Wine 8's passes the status through, so it is turned here.
var dispatchErrors = {};
dispatchErrors[0x80020005 | 0] = 13;  // DISP_E_TYPEMISMATCH: type mismatch
dispatchErrors[0x8002000A | 0] = 6;   // DISP_E_OVERFLOW: overflow
dispatchErrors[0x8002000E | 0] = 450; // DISP_E_BADPARAMCOUNT: wrong number of arguments
function errorOf(call) {
  try {
    call();
  } catch (e) {
    if ((e.number >>> 16) == 0x800A) return e.number & 0xFFFF;
    return dispatchErrors[e.number] || "number " + e.number;
  }
  return "none";
}

// The keys an Enumerator gives, separated by spaces.
function walked(store) {
  var keys = [];
  for (var e = new Enumerator(store); !e.atEnd(); e.moveNext()) keys.push(e.item());
  return keys.join(" ");
}

// The elements of an array from a member (a SAFEARRAY), separated by `separator` or a space.
function joined(array, separator) {
  return new VBArray(array).toArray().join(separator || " ");
}

function finish() {
  WScript.Echo("SUMMARY: " + checks + " checks, " + failures + " failed");
  WScript.Quit(failures);
}
