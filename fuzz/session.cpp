#include "session.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arrays.h"
#include "arrays_model.h"
#include "dictionary_model.h"
#include "host/event_pump.h"
#include "host/message_box.h"
#include "model.h"
#include "server/avl_object.h"
#include "server/dictionary_object.h"
#include "server/members.h"
#include "store/links.h"
#include "store/node_table.h"
#include "store/verify.h"
#include "value_maker.h"
#include "values.h"

namespace quilmar::fuzz {

Totals totals;

namespace {

// Real tables stay small: a request for more slots than this is refused as an exhausted heap
// would refuse it, so huge sizes still run their failure paths.
constexpr std::size_t kCapSlots = 8192;
constexpr int kMaxDepth = 2;              // calls made from the event pump, and from theirs
constexpr std::size_t kMaxKeys = 400;     // keys per input, so one input stays quick
constexpr std::uint64_t kMaxOps = 20000;  // calls per input

[[noreturn]] void finding(const std::string& what) {
  std::fprintf(stderr, "quilmar-fuzz finding: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

void expect(bool holds, const char* what) {
  if (!holds) finding(what);
}

// QUILMAR_FUZZ_TRACE=1 prints every call, to follow a finding.
const bool tracing = std::getenv("QUILMAR_FUZZ_TRACE") != nullptr;

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void trace(int depth, const char* format, ...) {
  if (!tracing) return;
  std::fprintf(stderr, "%*s", depth * 2, "");
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

bool same_float(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

struct Shown {
  Text title, text;
  UINT buttons;
};

// What a member of _clsAVLt2 answered, called through the vtable or through Invoke: its status
// (through Invoke, DISP_E_EXCEPTION's code, or the binding's own refusal) and its result.
struct Answer {
  HRESULT status = S_OK;
  Variant result;
  bool called = true;  // false: Invoke refused the arguments before the member ran
  Text description;    // through Invoke: EXCEPINFO's
};

// Error 13 as the vtable reports it, or as a script receives it.
bool type_mismatch(HRESULT hr) {
  return hr == DISP_E_TYPEMISMATCH || hr == kTypeMismatch;
}

// Whether a status is one of the errors a refusal allows.
bool allowed(const Refusal& r, HRESULT hr) {
  return (r.invalid_argument && hr == kInvalidArgument) || (r.type_mismatch && type_mismatch(hr)) ||
         (r.out_of_memory && hr == kOutOfMemory);
}

Variant text_value(const char16_t* s) {
  Variant v;
  v.get()->vt = VT_BSTR;
  v.get()->bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(s));
  return v;
}

Variant boolean(VARIANT_BOOL b) {
  Variant v;
  v.get()->vt = VT_BOOL;
  v.get()->boolVal = b;
  return v;
}

Variant long_value(LONG n) {
  Variant v;
  v.get()->vt = VT_I4;
  v.get()->lVal = n;
  return v;
}

// A failure of IDispatch itself (DISP_E_*), about the arguments rather than the member.
bool binding_refusal(HRESULT hr) {
  return (static_cast<std::uint32_t>(hr) & 0xFFFF0000u) == 0x80020000u;
}

// The Variant a client passes for an optional argument it leaves out.
VARIANT missing() {
  VARIANT v = test::blank();
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

class Session;
Session* current = nullptr;  // the session the seams report to

class Session {
 public:
  Session(const std::uint8_t* data, std::size_t size) : in_(data, size), values_(in_) {
    current = this;
    create();
  }
  ~Session() { current = nullptr; }

  void run() {
    while (!in_.empty() && ops_ < kMaxOps) {
      step(0);
      after_top_level();
    }
    finish();
  }

  // After a top-level call: an object dropped from the pump must be gone by now, but for the
  // enumerators the client still holds.
  void after_top_level() {
    index_texts_.clear();
    kept_keys_.clear();
    if (!dropped_) return;
    let_go_of_enumerators();
    create();
  }

  void on_pump() {
    ++pump_calls_;
    if (!alive() || depth_ >= kMaxDepth || plan_ops_ == 0) return;
    if (plan_skip_ > 0) {
      --plan_skip_;
      return;
    }
    const int n = plan_ops_;
    plan_ops_ = 0;
    ++depth_;
    for (int i = 0; i < n; ++i) step(depth_);
    --depth_;
  }

  int on_box(TextView text, UINT buttons, TextView title) {
    shown_.push_back({Text(title), Text(text), buttons});
    return 1;
  }

  bool on_allocation(std::size_t bytes) {
    if (inject_ || bytes > kCapSlots * sizeof(AVLtree)) {
      inject_ = false;
      refused_ = true;
      return false;
    }
    return true;
  }

 private:
  bool alive() const { return (obj_ || dict_) && !dropped_; }
  // The store behind the object, read only, for the invariants and the model's checks.
  const Store& store() const { return *store_; }

  // A new object of either class, chosen per object, and its CompareMode set right after.
  void create() {
    refused_ = false;
    dictionary_ = in_.pick(4) == 0;
    IClassFactory* factory = nullptr;
    expect(DllGetClassObject(dictionary_ ? CLSID_SortedDictionary : CLSID_clsAVLt,
                             IID_IClassFactory, reinterpret_cast<void**>(&factory)) == S_OK,
           "DllGetClassObject");
    if (dictionary_) {
      // A dictionary that cannot have its table is not made; the client asks again.
      HRESULT hr =
          factory->CreateInstance(nullptr, IID_ISortedDictionary, reinterpret_cast<void**>(&dict_));
      if (hr == E_OUTOFMEMORY && refused_) {
        expect(!dict_, "a refused SortedDictionary was handed out");
        refused_ = false;
        hr = factory->CreateInstance(nullptr, IID_ISortedDictionary,
                                     reinterpret_cast<void**>(&dict_));
      }
      expect(hr == S_OK && dict_, "CreateInstance of SortedDictionary");
      factory->Release();
      store_ = &static_cast<const DictionaryObject*>(dict_)->store();
      dmodel_.reset();
    } else {
      expect(
          factory->CreateInstance(nullptr, IID__clsAVLt, reinterpret_cast<void**>(&obj_)) == S_OK,
          "CreateInstance");
      factory->Release();
      expect(obj_->QueryInterface(IID__clsAVLt3, reinterpret_cast<void**>(&coll_)) == S_OK && coll_,
             "QueryInterface for _clsAVLt3");
      store_ = &static_cast<const AvlObject*>(coll_)->store();
      model_.reset(refused_);
    }
    refused_ = false;
    dropped_ = false;
    static constexpr LONG kModes[] = {0, 1, 2, 1033, 1031, 0x7FFFFFFF};
    const unsigned mode = in_.pick(10);
    if (mode < 6) put_compare_mode(kModes[mode], false);
  }

  // The client's two references, from CreateInstance and from QueryInterface.
  void release_object() {
    if (dictionary_) {
      dict_->Release();
      dict_ = nullptr;
      return;
    }
    coll_->Release();
    coll_ = nullptr;
    obj_->Release();
    obj_ = nullptr;
  }

  // The client lets go of the object and of its enumerators, some of these after the object.
  void let_go() {
    const std::size_t later =
        enums_.empty() ? 0 : in_.pick(static_cast<unsigned>(enums_.size()) + 1);
    while (enums_.size() > later) close_enumerator(enums_.size() - 1);
    release_object();
    let_go_of_enumerators();
  }

  // The enumerators left hold the object: it stays, and they still step, until the last goes;
  // then the object must be gone and the library unloadable.
  void let_go_of_enumerators() {
    if (!enums_.empty())
      expect(DllCanUnloadNow() == S_FALSE, "the object went while its enumerators were open");
    for (std::size_t i = 0; i < enums_.size(); ++i) next(i, 1);
    while (!enums_.empty()) close_enumerator(enums_.size() - 1);
    store_ = nullptr;
    expect(DllCanUnloadNow() == S_OK, "an object or reference outlives the client's release");
  }

  void finish() {
    index_texts_.clear();
    kept_keys_.clear();
    if (obj_ || dict_) let_go();
    model_.reset();
    dmodel_.reset();
    expect(values_.probe().refs == 1, "a stored object's reference was not released");
  }

  // One call, decoded from the input. Nested calls (depth > 0) run inside the event pump of a
  // walk whose cursor the model cannot follow, so they start from the store's cursor.
  void step(int depth) {
    if (!alive()) return;
    if (dictionary_) {
      dictionary_step(depth);
      return;
    }
    if (depth > 0) {
      ++nested_runs_;
      model_.cursor = store().current_index();
    }
    switch (in_.pick(38)) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4: {
        const VARIANT key = values_.any(), payload = values_.any();
        indata(key, payload);
        break;
      }
      case 5:
      case 6: {
        const VARIANT key = values_.plain_key(in_.raw<std::uint32_t>()), payload = values_.any();
        indata(key, payload);
        break;
      }
      case 7: egnore(); break;
      case 8: alloc(size()); break;
      case 9:
      case 10:
      case 11:
      case 12: read(any_mode()); break;
      case 13: read_sub(); break;
      case 14: properties(); break;
      case 15:
        plan_skip_ = static_cast<int>(in_.pick(4));
        plan_ops_ = 1 + static_cast<int>(in_.pick(3));
        trace(depth, "plan: after %d pump calls, %d calls", plan_skip_, plan_ops_);
        break;
      case 16:
        trace(depth, "inject an allocation failure");
        inject_ = true;
        break;
      case 17: walk(); break;
      case 18:
        if (depth == 0) bulk();
        break;
      case 19: null_arguments(); break;
      case 20: references(); break;
      case 21: drop(depth); break;
      case 22: lookup(); break;
      case 23: put(); break;
      case 24: range(); break;
      case 25: enumerate(); break;
      case 26:
      case 27: removal(); break;
      case 31: compare_mode(); break;
      case 32:
      case 33: positional(); break;
      case 34: load(); break;
      case 35: to_array(); break;
      case 36: sort(); break;
      case 37: {
        const VARIANT key = values_.word(), payload = values_.any();
        indata(key, payload);
        break;
      }
      default: {  // a key from a small set, so equal keys and duplicates policies meet often
        const VARIANT key = values_.plain_key(in_.pick(64) * 8u), payload = values_.any();
        indata(key, payload);
        break;
      }
    }
  }

  float size() {
    static constexpr float kSizes[] = {100,
                                       0,
                                       1,
                                       -1,
                                       10.5f,
                                       11.5f,
                                       0.5f,
                                       1.5f,
                                       2.5f,
                                       -0.4f,
                                       -0.5f,
                                       99.5f,
                                       100.5f,
                                       199,
                                       200,
                                       std::numeric_limits<float>::quiet_NaN(),
                                       std::numeric_limits<float>::infinity(),
                                       -std::numeric_limits<float>::infinity(),
                                       1e9f,
                                       3e9f,
                                       16777216.0f,
                                       16777218.0f,
                                       8191,
                                       8192,
                                       100000,
                                       std::numeric_limits<float>::max(),
                                       -std::numeric_limits<float>::max(),
                                       1e-40f,
                                       4e9f,
                                       2147483520.0f,
                                       2147483648.0f,
                                       -2147483648.0f};
    switch (in_.pick(4)) {
      case 0: return kSizes[in_.pick(sizeof kSizes / sizeof kSizes[0])];
      case 1: return in_.raw<float>();
      default: return static_cast<float>(in_.pick(250)) + static_cast<float>(in_.pick(4)) / 4;
    }
  }

  MODEVAL any_mode() {
    static constexpr MODEVAL kSpecs[] = {START_READ, READ_NEXT,  READ_NEXT, READ_NEXT,
                                         READ_BACK,  READ_BACK,  READ_BACK, READ_MID,
                                         END_READ,   WRITE_DATA, FAULT};
    if (in_.pick(16) == 0) return static_cast<MODEVAL>(in_.raw<LONG>());
    return kSpecs[in_.pick(sizeof kSpecs / sizeof kSpecs[0])];
  }

  // Everything observable after a call: the tree's invariants and the store against the model.
  void check() {
    if (dictionary_) {
      check_dictionary();
      return;
    }
    const Store& s = store();
    const Report r = verify(s);
    for (const std::string& p : r.problems) {
      // A refused Alloc leaves AllocSize out of step with the table by design.
      if (p.rfind("I6", 0) == 0 && model_.out_of_step()) continue;
      finding("invariant: " + p + " (Count " + std::to_string(s.count()) + ", AllocSize " +
              std::to_string(s.alloc_size()) + ", table " + std::to_string(s.table().size()) + ")");
    }
    expect(s.count() == model_.count(), "DataNumber differs from the model");
    expect(same_float(s.alloc_size(), model_.alloc_size), "AllocSize differs from the model");
    expect(s.table().size() == model_.table_slots, "the table's size differs from the model");
    expect(s.egnore() == model_.egn, "Egnore differs from the model");
    expect(s.read_mode() == model_.read_mode, "ReadMode differs from the model");
    expect(s.compare_mode() == model_.compare_mode, "CompareMode differs from the model");
    expect(s.current_index() == model_.cursor, "the cursor differs from the model");
    for (std::size_t i = 0; i < model_.slots.size(); ++i) {
      const AVLtree& node = s.table()[i];
      if (!same(node.Data, *model_.slots[i].key) || !same(node.SubData, *model_.slots[i].payload))
        finding("slot " + std::to_string(i) + " holds " + test::describe(node.Data) + ", " +
                test::describe(node.SubData) + "; the model " +
                test::describe(*model_.slots[i].key) + ", " +
                test::describe(*model_.slots[i].payload));
    }
    const std::vector<std::size_t> order = in_order(s);
    expect(order.size() == model_.order.size(), "the tree holds another number of keys");
    for (std::size_t i = 0; i < order.size(); ++i)
      expect(order[i] == static_cast<std::size_t>(model_.order[i]),
             "the tree's key order differs from the model");
  }

  // Boxes shown by this call (not by calls nested in it, which took theirs already).
  void expect_boxes(std::size_t from, const std::optional<float>& warning) {
    if (!warning) {
      if (shown_.size() != from)
        finding("a message box where none was due: " + to_utf8(shown_.back().text));
      return;
    }
    expect(shown_.size() == from + 1, "not exactly one warning box");
    const Shown& b = shown_.back();
    const Text want = Store::warning_text(*warning);
    expect(b.title == OLESTR("WARNING") && b.buttons == 0, "the warning box's title or buttons");
    expect(b.text == want, "the warning box's text");
    shown_.resize(from);
  }

  void indata(VARIANT key, VARIANT payload) {
    ++totals.operations, ++ops_;
    trace(depth_, "Indata %s, %s", test::describe(key).c_str(), test::describe(payload).c_str());
    const VARIANT key_before = key, payload_before = payload;
    const std::size_t boxes = shown_.size();
    refused_ = false;
    Variant result;
    expect(obj_->Indata(&key, &payload, result.get()) == S_OK, "Indata failed its call");
    expect(result->vt == VT_EMPTY, "Indata's result is not Empty");
    expect(std::memcmp(&key, &key_before, sizeof key) == 0 &&
               std::memcmp(&payload, &payload_before, sizeof payload) == 0,
           "Indata changed its arguments");
    const std::optional<float> warning = model_.indata(key, payload, refused_);
    expect(!refused_ || model_.may_allocate(), "memory asked for where no growth was due");
    expect_boxes(boxes, warning);
    check();
  }

  void alloc(float siz) {
    ++totals.operations, ++ops_;
    trace(depth_, "Alloc %.9g", static_cast<double>(siz));
    FLOAT asked = siz;
    VARIANT_BOOL built = 7;
    refused_ = false;
    expect(obj_->Alloc(&asked, &built) == S_OK, "Alloc failed its call");
    expect(same_float(asked, siz), "Alloc changed its argument");
    expect(!refused_ || Model::alloc_asks_memory(siz), "Alloc asked for memory it should not");
    const bool want = model_.alloc(siz, refused_);
    expect(built == (want ? VARIANT_TRUE : VARIANT_FALSE), "Alloc's answer");
    check();
  }

  void egnore() {
    static constexpr LONG kModes[] = {NOT_EGNORE,
                                      USE_FIRST_DATA,
                                      USE_LAST_DATA,
                                      3,
                                      -1,
                                      7,
                                      std::numeric_limits<LONG>::min(),
                                      std::numeric_limits<LONG>::max()};
    const auto mode = static_cast<EGN_MOD>(in_.pick(3) ? kModes[in_.pick(8)] : in_.raw<LONG>());
    trace(depth_, "Egnore = %ld", static_cast<long>(mode));
    EGN_MOD put = mode, got = NOT_EGNORE;
    totals.operations += 2, ops_ += 2;
    expect(obj_->put_Egnore(&put) == S_OK && obj_->get_Egnore(&got) == S_OK, "Egnore's calls");
    expect(got == mode, "Egnore does not read back what was set");
    model_.egn = mode;
    check();
  }

  // The event pump calls a walk makes, from the links as they stand before the call.
  int pumps_due(MODEVAL asked) const {
    const NodeTable& t = store().table();
    if (model_.read_mode == FAULT || t.size() == 0) return 0;
    const auto link = [&t](Slot slot, bool small) {
      return child(t[static_cast<std::size_t>(slot)], small ? Side::small : Side::big);
    };
    const auto descent = [&](Slot from, bool small) {
      int calls = 1;
      for (Slot n = link(from, small); n != nil; n = link(n, small)) ++calls;
      return calls;
    };
    switch (asked) {
      case START_READ: return descent(0, true);
      case END_READ: return descent(0, false);
      case READ_NEXT:
      case READ_BACK: {
        const Slot down = link(to_slot(model_.cursor), asked == READ_BACK);
        return down == nil ? 0 : descent(down, asked == READ_NEXT);
      }
      default: return 0;
    }
  }

  void read(MODEVAL asked) {
    ++totals.operations, ++ops_;
    trace(depth_, "Read %ld", static_cast<long>(asked));
    const ReadAnswer want = model_.read(asked);
    const int pumps = pumps_due(asked);
    const int pumps_before = pump_calls_, runs_before = nested_runs_;
    const std::size_t boxes = shown_.size();
    MODEVAL inout = asked;
    Variant result;
    const HRESULT hr = obj_->Read(&inout, result.get());
    if (dropped_) return;  // released from the pump: the object is gone once the outer call ends
    expect(shown_.size() == boxes, "Read showed a box");
    if (want.fails) {
      expect(hr == kSubscriptOutOfRange && result->vt == VT_EMPTY, "Read without a table");
      expect(inout == asked, "a failed Read wrote its Spec");
      check();
      return;
    }
    expect(hr == S_OK, "Read failed its call");
    if (result->vt == VT_BSTR) expect(result->bstrVal != nullptr, "Read answered a null string");
    if (nested_runs_ == runs_before) {
      expect(same(*result, *want.result), "Read's result differs from the model");
      expect(inout == want.inout, "Read's Spec afterwards differs from the model");
      expect(pump_calls_ - pumps_before == pumps,
             "Read called the event pump a wrong number of times");
      model_.apply(want);
    } else {
      // Calls from the pump moved the walk; the answer must still be one the store could give.
      const Store& s = store();
      const float at = s.current_index();
      expect(at == 0 || at < model_.count(), "the cursor left the stored keys");
      if (inout != asked) {
        expect(inout == FAULT && s.read_mode() == FAULT, "Read wrote a Spec other than FAULT");
        expect(result->vt == VT_BSTR && SysStringLen(result->bstrVal) == 0, "FAULT without \"\"");
      } else if (asked >= START_READ && asked <= END_READ) {
        expect(same(*result, *Variant(model_.key_at(at))), "Read's result is not the cursor's key");
        expect(s.read_mode() == asked, "ReadMode after a moved walk");
      } else {
        expect(result->vt == VT_EMPTY, "Read of no mode is not Empty");
      }
      model_.cursor = at;
      model_.read_mode = s.read_mode();
    }
    check();
  }

  void read_sub() {
    ++totals.operations, ++ops_;
    trace(depth_, "ReadSub");
    Variant result;
    const HRESULT hr = obj_->ReadSub(result.get());
    const std::optional<Variant> want = model_.read_sub();
    if (!want) {
      expect(hr == kSubscriptOutOfRange && result->vt == VT_EMPTY, "ReadSub without a table");
      check();
      return;
    }
    expect(hr == S_OK, "ReadSub failed its call");
    expect(same(*result, **want), "ReadSub's result differs from the model");
    if (result->vt == VT_BSTR) expect(result->bstrVal != nullptr, "ReadSub answered a null string");
    check();
  }

  // The members of _clsAVLt2, as clients call them: through the vtable, or (as a script does) by
  // member id through IDispatch::Invoke. A byte's top bits decide, so that the choices read from
  // its low bits next (which member, which mode) are not tied to it in inputs that repeat a byte.
  bool through_invoke() { return in_.byte() >= 0xC0; }

  // How a script asks for a method (VBScript passes both flags when it uses the result) and for a
  // property read (JScript only calls).
  WORD method_flags() {
    return in_.pick(2) ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  }
  WORD get_flags() {
    static constexpr WORD kFlags[] = {DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                      DISPATCH_METHOD};
    return kFlags[in_.pick(3)];
  }

  // One call through Invoke: `args` in the member's order go last first, each by value or, as a
  // script passes its variables, as a reference to a Variant; a property put names its value
  // DISPID_PROPERTYPUT. The first `required` arguments may not be left out: Invoke refuses the
  // call then, before the member runs. `keep_result` false: a statement, which drops the result.
  Answer invoke(DISPID id, WORD flags, std::vector<VARIANT> args, std::size_t required,
                bool keep_result = true) {
    Answer a;
    std::deque<VARIANT> variables;  // what the references name; a deque keeps them in place
    std::vector<VARIANT> rgvarg(args.rbegin(), args.rend());
    for (VARIANT& arg : rgvarg) {
      if (in_.pick(4) != 0) continue;
      variables.push_back(arg);
      arg = test::by_ref(variables.back());
    }
    const std::vector<VARIANT> before = rgvarg;
    const std::deque<VARIANT> variables_before = variables;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{rgvarg.empty() ? nullptr : rgvarg.data(), nullptr,
                      static_cast<UINT>(rgvarg.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
      params.rgdispidNamedArgs = &named, params.cNamedArgs = 1;
    EXCEPINFO excep{};
    UINT arg_error = 0;
    IDispatch* target =
        dictionary_ ? static_cast<IDispatch*>(dict_) : static_cast<IDispatch*>(coll_);
    const HRESULT hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      keep_result ? a.result.get() : nullptr, &excep, &arg_error);
    expect(rgvarg.empty() ||
               std::memcmp(rgvarg.data(), before.data(), rgvarg.size() * sizeof(VARIANT)) == 0,
           "Invoke changed its arguments");
    for (std::size_t i = 0; i < variables.size(); ++i)
      expect(std::memcmp(&variables[i], &variables_before[i], sizeof(VARIANT)) == 0,
             "Invoke wrote into a variable passed by value");
    if (hr == DISP_E_EXCEPTION) {
      expect(FAILED(excep.scode), "DISP_E_EXCEPTION without a failure in EXCEPINFO");
      a.status = excep.scode;
      if (excep.bstrDescription)
        a.description = Text(excep.bstrDescription, SysStringLen(excep.bstrDescription));
      SysFreeString(excep.bstrSource);
      SysFreeString(excep.bstrDescription);
      SysFreeString(excep.bstrHelpFile);
    } else {
      // The member's own failures come only inside DISP_E_EXCEPTION.
      expect(SUCCEEDED(hr) || binding_refusal(hr),
             "Invoke returned a member's failure without DISP_E_EXCEPTION");
      a.status = hr;
    }
    // A required argument not passed at all is the wrong number of arguments (450 to a script),
    // unless a property put names its value; one passed as missing is not optional (449).
    bool fewer = false, left_out = false;
    for (std::size_t i = 0; i < required; ++i) {
      fewer = fewer || i >= args.size();
      left_out = left_out || (i < args.size() && Model::left_out(args[i]));
    }
    if (fewer && params.cNamedArgs == 0) {
      expect(a.status == DISP_E_BADPARAMCOUNT, "Invoke with too few arguments is not 450");
      a.called = false;
    } else if (fewer || left_out) {
      expect(a.status == DISP_E_PARAMNOTOPTIONAL, "Invoke without a required argument");
      a.called = false;
    }
    if (FAILED(a.status)) expect(a.result->vt == VT_EMPTY, "a failed Invoke left a result");
    return a;
  }

  VARIANT probe_key() { return in_.pick(2) ? values_.any() : values_.plain_key(in_.pick(64) * 8u); }

  std::vector<Model::Position>& positions() {
    return dictionary_ ? dmodel_.positions : model_.positions;
  }

  // The keys an enumerator's next `most` steps give, by the model of its class.
  std::vector<const VARIANT*> next_keys(std::size_t which, std::size_t most) {
    std::vector<const VARIANT*> keys;
    if (dictionary_) {
      for (std::size_t at : dmodel_.next(dmodel_.positions[which], most))
        keys.push_back(&*dmodel_.pairs[at].key);
    } else {
      for (std::int32_t slot : model_.next(model_.positions[which], most))
        keys.push_back(&stored_key(slot));
    }
    return keys;
  }

  const VARIANT& stored_key(std::int32_t slot) const {
    return *model_.slots[static_cast<std::size_t>(slot)].key;
  }

  // Exists, Item, Find or Seek.
  void lookup() {
    ++totals.operations, ++ops_;
    const VARIANT key = probe_key();
    const std::size_t boxes = shown_.size();
    const auto first = model_.seek(key, 1);
    const bool script = through_invoke();
    switch (in_.pick(4)) {
      case 0: {
        trace(depth_, "Exists %s%s", test::describe(key).c_str(), script ? " (Invoke)" : "");
        Answer a;
        if (script) {
          a = invoke(dispid::Exists, method_flags(), {key}, 1);
        } else {
          VARIANT_BOOL b = 7;
          a.status = coll_->Exists(key, &b);
          a.result = boolean(b);
        }
        if (!a.called) break;
        expect(a.status == S_OK && same(*a.result, *boolean(first ? VARIANT_TRUE : VARIANT_FALSE)),
               "Exists differs from the model");
        break;
      }
      case 1: {
        trace(depth_, "Item %s%s", test::describe(key).c_str(), script ? " (Invoke)" : "");
        Answer a;
        if (script)
          a = invoke(dispid::Item, get_flags(), {key}, 1);
        else
          a.status = coll_->get_Item(key, a.result.get());
        if (!a.called) break;
        if (!first) {
          expect(a.status == kSubscriptOutOfRange, "Item of a missing key is not error 9");
          expect(a.result->vt == VT_EMPTY, "Item of a missing key answered something");
          break;
        }
        expect(a.status == S_OK, "Item failed its call");
        expect(same(*a.result, *model_.slots[static_cast<std::size_t>(*first)].payload),
               "Item's payload differs from the model");
        break;
      }
      case 2: {
        trace(depth_, "Find %s%s", test::describe(key).c_str(), script ? " (Invoke)" : "");
        Answer a;
        if (script) {
          a = invoke(dispid::Find, method_flags(), {key}, 1);
        } else {
          VARIANT_BOOL b = 7;
          a.status = coll_->Find(key, &b);
          a.result = boolean(b);
        }
        if (!a.called) break;
        expect(a.status == S_OK && same(*a.result, *boolean(first ? VARIANT_TRUE : VARIANT_FALSE)),
               "Find differs from the model");
        if (first) model_.land(*first);
        break;
      }
      default: seek(key, script);
    }
    expect(shown_.size() == boxes, "a lookup showed a box");
    check();
  }

  void seek(const VARIANT& key, bool script) {
    static constexpr LONG kHows[] = {1, 2, 4, 8, 16, 32, 0, 3, 64, -1};
    LONG how = kHows[in_.pick(10)];
    Answer a;
    if (script) {
      // How as a script passes it: a number of either width, or left out for SEEK_AFTER_EQ.
      VARIANT mode = test::blank();
      mode.vt = VT_I4, mode.lVal = how;
      std::vector<VARIANT> args{key, mode};
      switch (in_.pick(6)) {
        case 0: args.pop_back(), how = SEEK_AFTER_EQ; break;
        case 1: args.back() = missing(), how = SEEK_AFTER_EQ; break;
        case 2: args.back().vt = VT_I2, args.back().iVal = static_cast<SHORT>(how); break;
        default: break;
      }
      trace(depth_, "Seek %s, %ld (Invoke)", test::describe(key).c_str(), static_cast<long>(how));
      a = invoke(dispid::Seek, method_flags(), args, 1);
      if (!a.called) return;
    } else {
      trace(depth_, "Seek %s, %ld", test::describe(key).c_str(), static_cast<long>(how));
      a.status = coll_->Seek(key, static_cast<SEEKMODE>(how), a.result.get());
    }
    if (!Model::seek_mode(how)) {
      expect(a.status == kInvalidArgument && a.result->vt == VT_EMPTY,
             "Seek of another mode is not error 5");
      return;
    }
    expect(a.status == S_OK, "Seek failed its call");
    const auto want = model_.seek(key, how);
    if (want) {
      expect(same(*a.result, stored_key(*want)), "Seek's key differs from the model");
      model_.land(*want);
    } else {
      expect(a.result->vt == VT_EMPTY, "Seek that found nothing answered something");
    }
  }

  // Item(key) = payload, or Set Item(key) = payload.
  void put() {
    ++totals.operations, ++ops_;
    const VARIANT key = probe_key(), payload = values_.any();
    const bool script = through_invoke(), set = in_.pick(2) == 0;
    trace(depth_, "%sItem %s = %s%s", set ? "Set " : "", test::describe(key).c_str(),
          test::describe(payload).c_str(), script ? " (Invoke)" : "");
    const std::size_t boxes = shown_.size();
    refused_ = false;
    Answer a;
    if (script)
      a = invoke(dispid::Item, set ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, {key, payload},
                 2);
    else
      a.status = set ? coll_->putref_Item(key, payload) : coll_->put_Item(key, payload);
    if (a.called) {
      switch (model_.put(key, payload, refused_)) {
        case Model::Put::replaced:
        case Model::Put::inserted: expect(a.status == S_OK, "Item put failed its call"); break;
        case Model::Put::refused:
          expect(a.status == kInvalidArgument, "Item put of a refused key is not error 5");
          break;
        case Model::Put::no_room:
          expect(a.status == kOutOfMemory, "Item put without room is not error 7");
          break;
        case Model::Put::fails: expect(FAILED(a.status), "Item put of a bad payload succeeded");
      }
    } else {
      expect(!refused_, "a refused Invoke asked for memory");
    }
    expect(shown_.size() == boxes, "Item put showed a box");
    check();
  }

  // Keys or Items with optional bounds.
  void range() {
    ++totals.operations, ++ops_;
    VARIANT low = values_.any(), high = values_.any();
    if (in_.pick(2) == 0) low = missing();
    if (in_.pick(2) == 0) high = missing();
    const bool keys = in_.pick(2) != 0, script = through_invoke();
    trace(depth_, "%s %s, %s%s", keys ? "Keys" : "Items", test::describe(low).c_str(),
          test::describe(high).c_str(), script ? " (Invoke)" : "");
    Answer a;
    if (script) {
      // A script leaves out trailing arguments by passing fewer.
      std::vector<VARIANT> args{low, high};
      while (!args.empty() && Model::left_out(args.back()) && in_.pick(2)) args.pop_back();
      a = invoke(keys ? dispid::Keys : dispid::Items, method_flags(), args, 0);
    } else {
      a.status =
          keys ? coll_->Keys(low, high, a.result.get()) : coll_->Items(low, high, a.result.get());
    }
    expect(a.status == S_OK, "Keys or Items failed its call");
    const std::vector<std::int32_t> want = model_.range(Model::bound(low), Model::bound(high));
    const VARIANT& got = *a.result;
    expect(got.vt == (VT_ARRAY | VT_VARIANT) && got.parray && SafeArrayGetDim(got.parray) == 1,
           "Keys or Items: not an array of Variants");
    LONG first = -1, last = -1;
    expect(SafeArrayGetLBound(got.parray, 1, &first) == S_OK &&
               SafeArrayGetUBound(got.parray, 1, &last) == S_OK && first == 0,
           "Keys or Items: not 0-based");
    expect(last + 1 == static_cast<LONG>(want.size()),
           "Keys or Items: another number of values than the model");
    void* data = nullptr;
    expect(SafeArrayAccessData(got.parray, &data) == S_OK, "Keys or Items: no access to the data");
    const auto* values = static_cast<const VARIANT*>(data);
    for (std::size_t i = 0; i < want.size(); ++i) {
      const Model::Pair& pair = model_.slots[static_cast<std::size_t>(want[i])];
      expect(same(values[i], keys ? *pair.key : *pair.payload),
             "Keys or Items: a value differs from the model");
    }
    SafeArrayUnaccessData(got.parray);
    check();
  }

  // Remove, RemoveCurrent or RemoveAll.
  void removal() {
    ++totals.operations, ++ops_;
    const std::size_t boxes = shown_.size();
    refused_ = false;
    const unsigned what = in_.pick(8);
    const bool script = through_invoke(), keep = !script || in_.pick(4) != 0;
    Answer a;
    if (what < 4) {
      const VARIANT key = probe_key();
      trace(depth_, "Remove %s%s", test::describe(key).c_str(), script ? " (Invoke)" : "");
      if (script) {
        a = invoke(dispid::Remove, method_flags(), {key}, 1, keep);
      } else {
        LONG n = -1;
        a.status = coll_->Remove(key, &n);
        a.result = long_value(n);
      }
      if (a.called) {
        const LONG want = model_.remove(key);
        expect(a.status == S_OK, "Remove failed its call");
        if (keep)
          expect(same(*a.result, *long_value(want)), "Remove's count differs from the model");
      }
    } else if (what < 7) {
      trace(depth_, "RemoveCurrent%s", script ? " (Invoke)" : "");
      if (script)
        a = invoke(dispid::RemoveCurrent, method_flags(), {}, 0, keep);
      else
        a.status = coll_->RemoveCurrent(a.result.get());
      const Variant want = model_.remove_current();
      expect(a.status == S_OK, "RemoveCurrent failed its call");
      if (keep) expect(same(*a.result, *want), "RemoveCurrent's answer differs from the model");
    } else {
      trace(depth_, "RemoveAll%s", script ? " (Invoke)" : "");
      a.status = script ? invoke(dispid::RemoveAll, method_flags(), {}, 0, keep).status
                        : coll_->RemoveAll();
      expect(a.status == S_OK, "RemoveAll failed its call");
      model_.remove_all();
    }
    expect(!refused_, "a removal asked for memory");
    expect(shown_.size() == boxes, "a removal showed a box");
    check();
  }

  // An enumerator opened, cloned, released, reset, stepped or skipped.
  void enumerate() {
    ++totals.operations, ++ops_;
    const std::size_t which = enums_.empty() ? 0 : in_.pick(static_cast<unsigned>(enums_.size()));
    const auto choice = enums_.empty() ? 0 : in_.pick(6);
    if (choice == 0 || (choice == 1 && enums_.size() < 4)) {
      if (enums_.size() >= 4) return;
      if (choice == 0)
        open_enumerator();
      else
        clone_enumerator(which);
    } else if (choice == 2) {
      close_enumerator(which);
    } else if (choice == 3) {
      trace(depth_, "enumerator %lu: Reset", static_cast<unsigned long>(which));
      expect(enums_[which]->Reset() == S_OK, "Reset failed its call");
      positions()[which] = {};
    } else {
      const auto most = static_cast<ULONG>(in_.pick(9));
      if (choice == 4)
        skip(which, most == 8 ? std::numeric_limits<ULONG>::max() : most);
      else
        next(which, most);
    }
    check();
  }

  // _NewEnum, and the enumerator asked for as For Each asks: QueryInterface on what it returns.
  void open_enumerator() {
    const bool script = through_invoke();
    trace(depth_, "_NewEnum%s", script ? " (Invoke)" : "");
    Answer a;
    if (script) {
      a = invoke(DISPID_NEWENUM, get_flags(), {}, 0);
      expect(a.status == S_OK && (a.result->vt == VT_UNKNOWN || a.result->vt == VT_DISPATCH) &&
                 a.result->punkVal,
             "_NewEnum through Invoke answered no object");
    } else {
      IUnknown* made = nullptr;
      a.status = dictionary_ ? dict_->get__NewEnum(&made) : coll_->get__NewEnum(&made);
      expect(a.status == S_OK && made, "_NewEnum failed its call");
      a.result.get()->vt = VT_UNKNOWN;
      a.result.get()->punkVal = made;
    }
    IEnumVARIANT* e = nullptr;
    expect(
        a.result->punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e)) == S_OK &&
            e,
        "_NewEnum's object is no IEnumVARIANT");
    enums_.push_back(e);
    positions().emplace_back();
  }

  void clone_enumerator(std::size_t which) {
    trace(depth_, "enumerator %lu: Clone", static_cast<unsigned long>(which));
    IEnumVARIANT* e = nullptr;
    expect(enums_[which]->Clone(&e) == S_OK && e, "Clone failed its call");
    enums_.push_back(e);
    positions().push_back(positions()[which].clone());
  }

  void close_enumerator(std::size_t which) {
    trace(depth_, "enumerator %lu: Release", static_cast<unsigned long>(which));
    ++totals.operations, ++ops_;
    enums_[which]->Release();
    enums_.erase(enums_.begin() + static_cast<std::ptrdiff_t>(which));
    positions().erase(positions().begin() + static_cast<std::ptrdiff_t>(which));
  }

  // Next into an array whose elements hold anything, as a client's may; COM lets a caller that
  // asks for one leave the count out.
  void next(std::size_t which, ULONG most) {
    trace(depth_, "enumerator %lu: Next %lu", static_cast<unsigned long>(which),
          static_cast<unsigned long>(most));
    VARIANT junk = test::blank();
    junk.vt = VT_I4, junk.lVal = 0x5EED;
    std::vector<VARIANT> out(std::max<ULONG>(most, 1), junk);
    const bool counted = most != 1 || in_.pick(2) != 0;
    ULONG fetched = 12345;
    const HRESULT hr = enums_[which]->Next(most, out.data(), counted ? &fetched : nullptr);
    const std::vector<const VARIANT*> want = next_keys(which, most);
    expect(hr == (want.size() == most ? S_OK : S_FALSE), "Next's status differs from the model");
    if (!counted) fetched = hr == S_OK ? 1 : 0;
    if (fetched != want.size()) {
      std::string got, wanted;
      for (ULONG i = 0; i < fetched && i < out.size(); ++i) got += test::describe(out[i]) + "; ";
      for (const VARIANT* k : want) wanted += test::describe(*k) + "; ";
      finding("Next fetched another number of keys than the model: " + got + "the model " + wanted);
    }
    for (std::size_t i = 0; i < want.size(); ++i) {
      expect(same(out[i], *want[i]), "an enumerator's key differs from the model");
      VariantClear(&out[i]);
    }
  }

  void skip(std::size_t which, ULONG most) {
    trace(depth_, "enumerator %lu: Skip %lu", static_cast<unsigned long>(which),
          static_cast<unsigned long>(most));
    const HRESULT hr = enums_[which]->Skip(most);
    const std::vector<const VARIANT*> want = next_keys(which, most);
    expect(hr == (want.size() == most ? S_OK : S_FALSE), "Skip's status differs from the model");
  }

  void properties() {
    totals.operations += 5, ops_ += 5;
    trace(depth_, "properties");
    LONG n = 7;
    const double bound = std::nearbyint(static_cast<double>(model_.alloc_size));
    const bool fits = model_.alloc_size >= -2147483648.0f && model_.alloc_size < 2147483648.0f;
    const HRESULT hr = obj_->get_MemorySize(&n);
    if (fits)
      expect(hr == S_OK && n == static_cast<LONG>(bound), "MemorySize differs from the model");
    else
      expect(hr == kOverflow && n == 0, "MemorySize of a size past 32 bits is not an overflow");
    expect(obj_->get_DataNumber(&n) == S_OK && n == static_cast<LONG>(model_.count()),
           "DataNumber differs from the model");
    EGN_MOD mode = NOT_EGNORE;
    expect(obj_->get_Egnore(&mode) == S_OK && mode == model_.egn, "Egnore differs from the model");
    BSTR version = nullptr;
    expect(obj_->get_GetVersion(&version) == S_OK &&
               Text(version, SysStringLen(version)) == OLESTR("Ver1.06"),
           "GetVersion");
    SysFreeString(version);
    Answer count;
    if (through_invoke()) {
      count = invoke(dispid::Count, get_flags(), {}, 0);
    } else {
      n = -1;
      count.status = coll_->get_Count(&n);
      count.result = long_value(n);
    }
    expect(
        count.status == S_OK && same(*count.result, *long_value(static_cast<LONG>(model_.count()))),
        "Count differs from the model");
    check();
  }

  // A whole pass in one direction through the public calls, each step checked.
  void walk() {
    const bool up = in_.pick(2) == 0;
    const std::size_t n = std::min<std::size_t>(model_.slots.size(), 400);
    read(up ? START_READ : END_READ);
    for (std::size_t i = 1; i < n && alive(); ++i) read(up ? READ_NEXT : READ_BACK);
  }

  // Many plain keys at once, for trees deep enough to rotate everywhere and to grow.
  void bulk() {
    const unsigned k = 1 + in_.pick(64);
    std::uint32_t r = in_.raw<std::uint32_t>() | 1;
    for (unsigned i = 0; i < k && model_.slots.size() < kMaxKeys && alive(); ++i) {
      r ^= r << 13, r ^= r >> 17, r ^= r << 5;
      VARIANT payload;
      std::memset(&payload, 0, sizeof payload);
      payload.vt = VT_I4;
      payload.lVal = static_cast<LONG>(i);
      indata(values_.plain_key(r), payload);
    }
  }

  // Missing out-arguments are refused and change nothing.
  void null_arguments() {
    totals.operations += 29, ops_ += 29;
    MODEVAL asked = START_READ;
    FLOAT siz = 5;
    VARIANT_BOOL built;
    Variant v;
    VARIANT key = values_.plain_key(1);
    expect(obj_->Read(nullptr, v.get()) == E_POINTER && obj_->Read(&asked, nullptr) == E_POINTER &&
               obj_->Alloc(nullptr, &built) == E_POINTER &&
               obj_->Alloc(&siz, nullptr) == E_POINTER &&
               obj_->Indata(nullptr, &key, v.get()) == E_POINTER &&
               obj_->Indata(&key, nullptr, v.get()) == E_POINTER &&
               obj_->Indata(&key, &key, nullptr) == E_POINTER &&
               obj_->ReadSub(nullptr) == E_POINTER && obj_->put_Egnore(nullptr) == E_POINTER,
           "a missing argument was not refused with E_POINTER");
    expect(asked == START_READ, "a refused Read wrote its Spec");
    const VARIANT none = missing();
    expect(coll_->get_Count(nullptr) == E_POINTER && coll_->get_Item(key, nullptr) == E_POINTER &&
               coll_->Exists(key, nullptr) == E_POINTER && coll_->Find(key, nullptr) == E_POINTER &&
               coll_->Seek(key, SEEK_AFTER_EQ, nullptr) == E_POINTER &&
               coll_->Keys(none, none, nullptr) == E_POINTER &&
               coll_->Items(none, none, nullptr) == E_POINTER &&
               coll_->get__NewEnum(nullptr) == E_POINTER &&
               coll_->Remove(key, nullptr) == E_POINTER &&
               coll_->RemoveCurrent(nullptr) == E_POINTER,
           "a missing argument of _clsAVLt2 was not refused with E_POINTER");
    expect(coll_->get_CompareMode(nullptr) == E_POINTER && coll_->KeyAt(0, nullptr) == E_POINTER &&
               coll_->get_ItemAt(0, nullptr) == E_POINTER &&
               coll_->IndexOf(key, nullptr) == E_POINTER &&
               coll_->get_Position(nullptr) == E_POINTER &&
               coll_->Load(none, none, none, nullptr) == E_POINTER &&
               coll_->ToArray(none, none, nullptr) == E_POINTER &&
               coll_->Sort(none, none, none, nullptr) == E_POINTER,
           "a missing argument of _clsAVLt3 was not refused with E_POINTER");
    if (!enums_.empty())
      expect(enums_[0]->Next(1, nullptr, nullptr) == E_POINTER &&
                 enums_[0]->Clone(nullptr) == E_POINTER,
             "a missing argument of an enumerator was not refused with E_POINTER");
    check();
  }

  void references() {
    totals.operations += 3, ops_ += 3;
    const ULONG up = obj_->AddRef();
    IDispatch* dispatch = nullptr;
    expect(obj_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)) == S_OK &&
               dispatch == obj_,
           "QueryInterface for IDispatch");
    dispatch->Release();
    expect(obj_->Release() == up - 1, "Release does not count down");
    check();
  }

  // The client lets go of the object: from the pump the running call keeps it alive until it
  // returns; at the top it dies at once, but for its enumerators, and the client makes a new one.
  void drop(int depth) {
    ++totals.operations, ++ops_;
    trace(depth, "drop the object");
    if (depth == 0) {
      let_go();
      create();
      check();
      return;
    }
    release_object();
    dropped_ = true;
  }

  // ---- _clsAVLt3 and ISortedDictionary: members both classes have ----

  LONG& mode_in_model() { return dictionary_ ? dmodel_.compare_mode : model_.compare_mode; }
  bool model_empty() const { return dictionary_ ? dmodel_.pairs.empty() : model_.order.empty(); }
  std::size_t model_count() const {
    return dictionary_ ? dmodel_.pairs.size() : model_.order.size();
  }
  DISPID id_of(DISPID clsavlt, DISPID dictionary) const {
    return dictionary_ ? dictionary : clsavlt;
  }

  // CompareMode = mode: refused (error 5, nothing changed) when negative or while keys are held.
  void put_compare_mode(LONG mode, bool script) {
    ++totals.operations, ++ops_;
    trace(depth_, "CompareMode = %ld%s", static_cast<long>(mode), script ? " (Invoke)" : "");
    HRESULT hr;
    if (script) {
      VARIANT m = test::blank();
      m.vt = VT_I4, m.lVal = mode;
      hr = invoke(id_of(dispid::CompareMode, dispid::dictionary::CompareMode), DISPATCH_PROPERTYPUT,
                  {m}, 1)
               .status;
    } else {
      hr = dictionary_ ? dict_->put_CompareMode(mode) : coll_->put_CompareMode(mode);
    }
    if (mode >= 0 && model_empty()) {
      expect(hr == S_OK, "CompareMode of an empty object was refused");
      mode_in_model() = mode;
    } else {
      expect(hr == kInvalidArgument, "CompareMode negative or with keys held is not error 5");
    }
    check();
  }

  void compare_mode() {
    const bool script = through_invoke();
    if (in_.pick(3) == 0) {
      ++totals.operations, ++ops_;
      trace(depth_, "CompareMode%s", script ? " (Invoke)" : "");
      Answer a;
      if (script) {
        a = invoke(id_of(dispid::CompareMode, dispid::dictionary::CompareMode), get_flags(), {}, 0);
      } else {
        LONG m = -7;
        a.status = dictionary_ ? dict_->get_CompareMode(&m) : coll_->get_CompareMode(&m);
        a.result = long_value(m);
      }
      expect(a.status == S_OK && same(*a.result, *long_value(mode_in_model())),
             "CompareMode does not read back the value set");
      check();
      return;
    }
    static constexpr LONG kModes[] = {0, 1,         2, 1033, -1, std::numeric_limits<LONG>::min(),
                                      3, 0x7FFFFFFF};
    const LONG mode = in_.pick(4) ? kModes[in_.pick(8)] : in_.raw<LONG>();
    put_compare_mode(mode, script);
  }

  // An index: mostly near the stored range, now and then any Long.
  LONG any_index() {
    if (in_.pick(8) == 0) return in_.raw<LONG>();
    return static_cast<LONG>(in_.pick(static_cast<unsigned>(model_count()) + 3)) - 1;
  }

  // An index as a script passes it: a Long, an Integer, a text that converts ("2"), a Double that
  // rounds to it, or a text that does not convert (error 13: the value is none).
  struct IndexArgument {
    VARIANT v;
    std::optional<LONG> value;
  };
  IndexArgument index_argument(LONG index) {
    IndexArgument a{test::blank(), index};
    switch (in_.pick(8)) {
      case 0:
        if (index >= -32768 && index <= 32767) {
          a.v.vt = VT_I2, a.v.iVal = static_cast<SHORT>(index);
          break;
        }
        [[fallthrough]];
      default: a.v.vt = VT_I4, a.v.lVal = index; break;
      case 1: {
        const std::string digits = std::to_string(index);
        OLECHAR chars[16];
        for (std::size_t i = 0; i < digits.size(); ++i) chars[i] = static_cast<OLECHAR>(digits[i]);
        index_texts_.push_back(Variant());
        VARIANT& t = *index_texts_.back().get();
        t.vt = VT_BSTR;
        t.bstrVal = SysAllocStringLen(chars, static_cast<UINT>(digits.size()));
        a.v = t;
        break;
      }
      case 2:
        if (index > -1000 && index < 1000) {
          // 1.5 rounds to 2; a quarter either side of a whole number rounds to it
          const int q = static_cast<int>(in_.pick(3));
          a.v.vt = VT_R8;
          a.v.dblVal = q == 0 && index == 2 ? 1.5 : index + (q == 1 ? 0.25 : -0.25);
        } else {
          a.v.vt = VT_I4, a.v.lVal = index;
        }
        break;
      case 3:
        if (in_.pick(4) == 0) {
          index_texts_.push_back(text_value(u"x"));
          a.v = *index_texts_.back();
          a.value.reset();
        } else {
          a.v.vt = VT_I4, a.v.lVal = index;
        }
        break;
    }
    return a;
  }

  // KeyAt, ItemAt (get, let, set), IndexOf, RemoveAt, Position (get, put).
  void positional() {
    ++totals.operations, ++ops_;
    const unsigned what = in_.pick(dictionary_ ? 6 : 8);
    const bool script = through_invoke();
    const std::size_t boxes = shown_.size();
    refused_ = false;
    const LONG index = any_index();
    IndexArgument arg = index_argument(index);
    const auto in_range = [&](LONG i) { return i >= 0 && i < static_cast<LONG>(model_count()); };
    const auto key_at = [&](LONG i) -> const VARIANT& {
      return dictionary_ ? *dmodel_.pairs[static_cast<std::size_t>(i)].key : *model_.at(i).key;
    };
    const auto item_at = [&](LONG i) -> const VARIANT& {
      return dictionary_ ? *dmodel_.pairs[static_cast<std::size_t>(i)].item : *model_.at(i).payload;
    };
    // The status an index argument gives before anything else: 13 when it does not convert.
    const auto index_refused = [&](const Answer& a) {
      if (!script || arg.value) return false;
      if (!type_mismatch(a.status))
        finding("an index that does not convert is not error 13: " + std::to_string(a.status));
      return true;
    };
    Answer a;
    switch (what) {
      case 0:
      case 1: {
        trace(depth_, "KeyAt %s%s", test::describe(arg.v).c_str(), script ? " (Invoke)" : "");
        if (script)
          a = invoke(id_of(dispid::KeyAt, dispid::dictionary::KeyAt), method_flags(), {arg.v}, 1);
        else
          a.status = dictionary_ ? dict_->KeyAt(index, a.result.get())
                                 : coll_->KeyAt(index, a.result.get());
        if (index_refused(a)) break;
        if (!in_range(index)) {
          expect(a.status == kSubscriptOutOfRange && a.result->vt == VT_EMPTY,
                 "KeyAt outside the range is not error 9");
          break;
        }
        expect(a.status == S_OK && same(*a.result, key_at(index)), "KeyAt differs from the model");
        break;
      }
      case 2: {
        trace(depth_, "ItemAt %s%s", test::describe(arg.v).c_str(), script ? " (Invoke)" : "");
        if (script)
          a = invoke(id_of(dispid::ItemAt, dispid::dictionary::ItemAt), get_flags(), {arg.v}, 1);
        else
          a.status = dictionary_ ? dict_->get_ItemAt(index, a.result.get())
                                 : coll_->get_ItemAt(index, a.result.get());
        if (index_refused(a)) break;
        if (!in_range(index)) {
          expect(a.status == kSubscriptOutOfRange && a.result->vt == VT_EMPTY,
                 "ItemAt outside the range is not error 9");
          break;
        }
        expect(a.status == S_OK && same(*a.result, item_at(index)),
               "ItemAt differs from the model");
        break;
      }
      case 3: {
        const VARIANT payload = values_.any();
        const bool set = in_.pick(2) == 0;
        trace(depth_, "%sItemAt %s = %s%s", set ? "Set " : "", test::describe(arg.v).c_str(),
              test::describe(payload).c_str(), script ? " (Invoke)" : "");
        if (script)
          a = invoke(id_of(dispid::ItemAt, dispid::dictionary::ItemAt),
                     set ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, {arg.v, payload}, 2);
        else if (dictionary_)
          a.status = set ? dict_->putref_ItemAt(index, payload) : dict_->put_ItemAt(index, payload);
        else
          a.status = set ? coll_->putref_ItemAt(index, payload) : coll_->put_ItemAt(index, payload);
        if (!a.called || index_refused(a)) break;
        Variant p;
        if (!in_range(index)) {
          expect(a.status == kSubscriptOutOfRange || (!copy_of(payload, p) && FAILED(a.status)),
                 "ItemAt put outside the range is not error 9");
        } else if (!copy_of(payload, p)) {
          expect(FAILED(a.status), "ItemAt put of a bad payload succeeded");
        } else {
          expect(a.status == S_OK, "ItemAt put failed its call");
          if (dictionary_)
            dmodel_.pairs[static_cast<std::size_t>(index)].item = std::move(p);
          else
            model_.at(index).payload = std::move(p);
        }
        break;
      }
      case 4: {
        const VARIANT key = dictionary_ ? dictionary_probe() : probe_key();
        trace(depth_, "IndexOf %s%s", test::describe(key).c_str(), script ? " (Invoke)" : "");
        if (script) {
          a = invoke(id_of(dispid::IndexOf, dispid::dictionary::IndexOf), method_flags(), {key}, 1);
        } else {
          LONG n = -7;
          a.status = dictionary_ ? dict_->IndexOf(key, &n) : coll_->IndexOf(key, &n);
          a.result = long_value(n);
        }
        if (!a.called) break;
        LONG want = -1;
        if (dictionary_) {
          if (const auto at = dmodel_.find(key)) want = static_cast<LONG>(*at);
        } else {
          want = model_.index_of(key);
        }
        expect(a.status == S_OK && same(*a.result, *long_value(want)),
               "IndexOf differs from the model");
        break;
      }
      case 5: {
        trace(depth_, "RemoveAt %s%s", test::describe(arg.v).c_str(), script ? " (Invoke)" : "");
        if (script) {
          const WORD flags = method_flags();
          a = invoke(id_of(dispid::RemoveAt, dispid::dictionary::RemoveAt), flags, {arg.v}, 1,
                     in_.pick(2) != 0);
        } else
          a.status = dictionary_ ? dict_->RemoveAt(index) : coll_->RemoveAt(index);
        if (index_refused(a)) break;
        if (!in_range(index)) {
          expect(a.status == kSubscriptOutOfRange, "RemoveAt outside the range is not error 9");
          break;
        }
        expect(a.status == S_OK, "RemoveAt failed its call");
        if (dictionary_)
          dmodel_.erase(static_cast<std::size_t>(index));
        else
          model_.remove_at(index);
        break;
      }
      case 6: {
        trace(depth_, "Position%s", script ? " (Invoke)" : "");
        if (script) {
          a = invoke(dispid::Position, get_flags(), {}, 0);
        } else {
          LONG n = -7;
          a.status = coll_->get_Position(&n);
          a.result = long_value(n);
        }
        expect(a.status == S_OK && same(*a.result, *long_value(model_.position())),
               "Position differs from the model");
        break;
      }
      default: {
        trace(depth_, "Position = %s%s", test::describe(arg.v).c_str(), script ? " (Invoke)" : "");
        if (script)
          a = invoke(dispid::Position, DISPATCH_PROPERTYPUT, {arg.v}, 1);
        else
          a.status = coll_->put_Position(index);
        if (index_refused(a)) break;
        if (!in_range(index)) {
          expect(a.status == kSubscriptOutOfRange, "Position outside the range is not error 9");
          break;
        }
        expect(a.status == S_OK, "Position = failed its call");
        model_.land(model_.order[static_cast<std::size_t>(index)]);
      }
    }
    expect(!refused_, "a positional member asked for memory");
    expect(shown_.size() == boxes, "a positional member showed a box");
    check();
  }

  // ---- Arrays in and out: Load, ToArray, Sort ----

  // A random array: Variants (most often), Long(), Double() or String(), or a JScript array; 1-D
  // or 2-D with odd lower bounds, now and then 3-D; a few rows.
  Table make_table() {
    Table t;
    const unsigned form = in_.pick(8);
    static constexpr VARTYPE kTypes[] = {VT_I4, VT_R8, VT_BSTR};
    static constexpr LONG kLows[] = {0, 1, -1, 5, -3, 1, 0, 2};
    t.script = form == 0;
    t.type = form == 1 ? kTypes[in_.pick(3)] : static_cast<VARTYPE>(VT_VARIANT);
    const unsigned dims = in_.pick(16);
    t.dimensions = t.script ? 1 : dims == 0 ? 3 : dims < 8 ? 1 : 2;
    t.row_low = t.script ? 0 : kLows[in_.pick(8)];
    t.column_low = t.dimensions == 1 ? 0 : kLows[in_.pick(8)];
    t.rows = in_.pick(9);
    t.columns = t.dimensions == 2 ? 1 + in_.pick(4) : 1;
    for (std::size_t i = 0; i < t.rows * t.columns; ++i) {
      Variant c;
      if (t.dimensions == 3) {
        // a shape refused before any element is read
      } else if (t.type != VT_VARIANT) {
        copy_value(*c.get(), values_.typed_cell(t.type), EmptyText::null);
      } else if (t.script && in_.pick(6) == 0) {
        t.missing.push_back(i);  // [1,,2]: no such member; a blank
      } else {
        VARIANT v = values_.cell();
        // A JScript array holds no SAFEARRAY; NaN stands in.
        if (t.script && (v.vt & VT_ARRAY)) v.vt = VT_R8, v.dblVal = std::nan("");
        copy_value(*c.get(), v, EmptyText::null);
      }
      t.cells.push_back(std::move(c));
    }
    return t;
  }

  // The argument for a table, as a client passes it: the array by value or by reference, or a
  // JScript array. `array` and `script` own what it refers to.
  VARIANT source_of(const Table& t, Variant& array, std::unique_ptr<test::ScriptArray>& script) {
    if (t.script) {
      std::vector<Variant> elements;
      for (const Variant& c : t.cells) {
        Variant e;
        copy_value(*e.get(), *c);
        elements.push_back(std::move(e));
      }
      script = std::make_unique<test::ScriptArray>(std::move(elements), t.missing);
      return script->as_argument();
    }
    if (t.dimensions == 3) {
      SAFEARRAYBOUND bounds[3] = {{static_cast<ULONG>(t.rows), t.row_low}, {1, 0}, {1, 0}};
      array.get()->parray = SafeArrayCreate(VT_VARIANT, 3, bounds);
      expect(array->parray != nullptr, "no 3-D array");
      array.get()->vt = VT_ARRAY | VT_VARIANT;
    } else {
      array = test::make_array(t.type, t.row_low, static_cast<ULONG>(t.rows), t.column_low,
                               t.dimensions == 2 ? static_cast<ULONG>(t.columns) : 0);
      for (std::size_t r = 0; r < t.rows; ++r)
        for (std::size_t c = 0; c < t.columns; ++c) test::set_element(*array, r, c, t.cell(r, c));
    }
    if (in_.pick(3) == 0) {  // a script's variable, by reference
      VARIANT ref = test::blank();
      ref.vt = static_cast<VARTYPE>(VT_BYREF | array->vt);
      ref.pparray = &array.get()->parray;
      return ref;
    }
    return *array;
  }

  // The array is as it was: a call never changes what it was handed.
  void expect_unchanged(const Table& t, const Variant& array,
                        const std::unique_ptr<test::ScriptArray>& script) {
    if (script) {
      expect(script->refs == 1, "a JScript array's reference was kept or lost");
      return;
    }
    if (t.dimensions == 3) return;
    for (std::size_t r = 0; r < t.rows; ++r)
      for (std::size_t c = 0; c < t.columns; ++c)
        expect(same(*test::element(*array, r, c), t.cell(r, c)), "a call changed its array");
  }

  // A column argument: left out, or a Long in or out of the table's bounds.
  Columns column_argument(const Table& t, unsigned given_one_in) {
    Columns c;
    if (in_.pick(given_one_in) != 0) return c;
    c.given = true;
    const unsigned where = in_.pick(8);
    const LONG low = t.dimensions == 2 ? t.column_low : 0;
    const auto n = static_cast<LONG>(t.columns);
    c.values.push_back(where == 0   ? low - 1
                       : where == 1 ? low + n
                                    : low + static_cast<LONG>(in_.pick(static_cast<unsigned>(n))));
    return c;
  }

  VARIANT column_value(const Columns& c) {
    if (!c.given) return missing();
    VARIANT v = test::blank();
    v.vt = VT_I4, v.lVal = c.values.front();
    return v;
  }

  void load() {
    ++totals.operations, ++ops_;
    if (model_count() >= kMaxKeys) return;
    Table t;
    Variant array, plain;
    std::unique_ptr<test::ScriptArray> script_array;
    VARIANT source = test::blank();
    const bool not_array = in_.pick(12) == 0;
    if (not_array) {
      source = in_.pick(2) ? values_.word() : values_.cell();
      if (source.vt & VT_ARRAY) source.vt = VT_I4, source.lVal = 1;
    } else {
      t = make_table();
      source = source_of(t, array, script_array);
    }
    const Columns key_column = column_argument(t, t.dimensions == 2 ? 2 : 8),
                  item_column = column_argument(t, t.dimensions == 2 ? 2 : 8);
    const bool script = through_invoke();
    trace(depth_, "Load %s (%s%s, %lu rows by %lu from %ld, %ld), %s, %s%s",
          test::describe(source).c_str(), t.script ? "JScript " : "",
          t.dimensions == 3   ? "3-D"
          : t.dimensions == 2 ? "2-D"
                              : "1-D",
          static_cast<unsigned long>(t.rows), static_cast<unsigned long>(t.columns),
          static_cast<long>(t.row_low), static_cast<long>(t.column_low),
          test::describe(column_value(key_column)).c_str(),
          test::describe(column_value(item_column)).c_str(), script ? " (Invoke)" : "");
    const std::size_t boxes = shown_.size();
    refused_ = false;
    Answer a;
    if (script) {
      std::vector<VARIANT> args{source, column_value(key_column), column_value(item_column)};
      while (args.size() > 1 && Model::left_out(args.back()) && in_.pick(2)) args.pop_back();
      a = invoke(id_of(dispid::Load, dispid::dictionary::Load), method_flags(), args, 1);
    } else {
      LONG n = -7;
      a.status = dictionary_
                     ? dict_->Load(source, column_value(key_column), column_value(item_column), &n)
                     : coll_->Load(source, column_value(key_column), column_value(item_column), &n);
      a.result = long_value(n);
    }
    expect(shown_.size() == boxes, "Load showed a box");
    if (!not_array) expect_unchanged(t, array, script_array);
    Refusal r;
    LoadPlan plan;
    if (not_array) {
      r.type_mismatch = true;
    } else {
      // A 1-D source's keys take Indata's default payload "" (the dictionary's: Empty).
      if (!dictionary_) plain = text_value(u"");
      plan = plan_load(t, key_column, item_column, *plain);
      r = plan.refusal;
    }
    Model trial;
    DictionaryModel dictionary_trial;
    if (!r.any()) {
      if (dictionary_) {
        dictionary_trial.copy_from(dmodel_);
        for (const LoadRow& row : plan.rows) {
          const auto kind = DictionaryModel::check(*row.key);
          if (kind != DictionaryModel::KeyCheck::key) {
            // NaN: 5; an array: 13 as for any stored key, or 5 as Load names a bad key
            r.invalid_argument = true;
            r.type_mismatch = r.type_mismatch || kind == DictionaryModel::KeyCheck::array;
            if (!r.row_5) r.row_5 = row.label;
            continue;
          }
          if (const auto at = dictionary_trial.find(*row.key)) {
            Variant item;
            copy_value(*item.get(), *row.payload, EmptyText::null);
            dictionary_trial.pairs[*at].item = std::move(item);
          } else {
            dictionary_trial.insert(*row.key, *row.payload);
          }
        }
      } else {
        trial.copy_from(model_);
        bool full = false;
        for (const LoadRow& row : plan.rows) {
          if (!Model::holdable(*row.key)) {
            r.invalid_argument = true;
            if (!r.row_5) r.row_5 = row.label;
            continue;
          }
          if (!full && trial.indata(*row.key, *row.payload, false)) {
            full = true;
            r.out_of_memory = true;
            r.row_7 = row.label;
          }
        }
      }
    }
    if (!a.called) {
      check();
      return;
    }
    if (refused_) {
      // Memory refused somewhere in the call: error 7 (or the refusal due anyway), nothing stored.
      expect(a.status == kOutOfMemory || allowed(r, a.status),
             "Load without memory is not error 7");
    } else if (r.any()) {
      expect(allowed(r, a.status), "Load's error differs from the model");
      if (script && a.status == kInvalidArgument && r.row_5 && !r.row_7) {
        const std::string row = "(row " + std::to_string(*r.row_5) + ")";
        expect(to_utf8(a.description).find(row) != std::string::npos,
               "Load's description does not name the row of the refused key");
      }
    } else {
      expect(a.status == S_OK, "Load failed its call");
      expect(same(*a.result, *long_value(static_cast<LONG>(plan.rows.size()))),
             "Load's count of rows taken differs from the model");
      if (dictionary_)
        dmodel_.copy_from(dictionary_trial);
      else
        model_.copy_from(trial);
    }
    if (FAILED(a.status))
      expect(a.result->vt == VT_EMPTY || same(*a.result, *long_value(0)),
             "a failed Load answered a count");
    check();
  }

  // ToArray with optional bounds: rows 1..n by columns 1..2, key and payload.
  void to_array() {
    ++totals.operations, ++ops_;
    VARIANT low = dictionary_ ? dictionary_probe() : values_.any(),
            high = dictionary_ ? dictionary_probe() : values_.any();
    if (in_.pick(2) == 0) low = missing();
    if (in_.pick(2) == 0) high = missing();
    const bool script = through_invoke();
    trace(depth_, "ToArray %s, %s%s", test::describe(low).c_str(), test::describe(high).c_str(),
          script ? " (Invoke)" : "");
    Answer a;
    if (script) {
      std::vector<VARIANT> args{low, high};
      while (!args.empty() && Model::left_out(args.back()) && in_.pick(2)) args.pop_back();
      a = invoke(id_of(dispid::ToArray, dispid::dictionary::ToArray), method_flags(), args, 0);
    } else {
      a.status = dictionary_ ? dict_->ToArray(low, high, a.result.get())
                             : coll_->ToArray(low, high, a.result.get());
    }
    expect(a.status == S_OK, "ToArray failed its call");
    std::vector<std::pair<const VARIANT*, const VARIANT*>> want;
    if (dictionary_) {
      for (std::size_t i : dmodel_.range(Model::bound(low), Model::bound(high)))
        want.emplace_back(&*dmodel_.pairs[i].key, &*dmodel_.pairs[i].item);
    } else {
      for (std::int32_t slot : model_.range(Model::bound(low), Model::bound(high))) {
        const Model::Pair& p = model_.slots[static_cast<std::size_t>(slot)];
        want.emplace_back(&*p.key, &*p.payload);
      }
    }
    const VARIANT& got = *a.result;
    expect(got.vt == (VT_ARRAY | VT_VARIANT) && got.parray && SafeArrayGetDim(got.parray) == 2,
           "ToArray: not a 2-D array of Variants");
    LONG bounds[4] = {-9, -9, -9, -9};
    SafeArrayGetLBound(got.parray, 1, &bounds[0]);
    SafeArrayGetUBound(got.parray, 1, &bounds[1]);
    SafeArrayGetLBound(got.parray, 2, &bounds[2]);
    SafeArrayGetUBound(got.parray, 2, &bounds[3]);
    expect(bounds[0] == 1 && bounds[1] == static_cast<LONG>(want.size()) && bounds[2] == 1 &&
               bounds[3] == 2,
           "ToArray: not rows 1 to the pairs by columns 1 to 2");
    for (std::size_t i = 0; i < want.size(); ++i)
      expect(same(*test::element(got, i, 0), *want[i].first) &&
                 same(*test::element(got, i, 1), *want[i].second),
             "ToArray: a pair differs from the model");
    check();
  }

  // Sort of a random array; the store is not touched.
  void sort() {
    ++totals.operations, ++ops_;
    Table t;
    Variant array;
    std::unique_ptr<test::ScriptArray> script_array;
    VARIANT values = test::blank();
    const bool not_array = in_.pick(16) == 0;
    if (not_array) {
      values = values_.cell();
      if (values.vt & VT_ARRAY) values.vt = VT_EMPTY;
    } else {
      t = make_table();
      values = source_of(t, array, script_array);
    }
    // By: left out, Empty, a column, or an array of columns (2-D; now and then given for 1-D).
    Columns by, descending;
    Variant by_array, descending_array;
    VARIANT by_arg = missing(), descending_arg = missing();
    const unsigned by_form = t.dimensions == 2 ? in_.pick(6) : (in_.pick(10) == 0 ? 3 : 0);
    if (by_form == 1) {
      by_arg = test::blank();
    } else if (by_form == 2 || by_form == 3) {
      by = column_argument(t, 1);
      by_arg = column_value(by);
    } else if (by_form >= 4) {
      by.given = by.as_array = true;
      const unsigned n = 1 + in_.pick(3);
      for (unsigned i = 0; i < n; ++i) by.values.push_back(column_argument(t, 1).values.front());
      by_array = test::make_array(VT_VARIANT, 0, n);
      for (unsigned i = 0; i < n; ++i)
        test::set_element(*by_array, i, 0, *long_value(by.values[i]));
      by_arg = *by_array;
    }
    // Descending: left out, a Boolean, or (with By an array) an array of Booleans.
    const unsigned descending_form = in_.pick(4);
    if (descending_form == 1 || (descending_form >= 2 && !by.as_array)) {
      descending.given = true;
      descending.values.push_back(in_.pick(2));
      descending_arg = *boolean(descending.values.front() ? VARIANT_TRUE : VARIANT_FALSE);
    } else if (descending_form >= 2) {
      descending.given = descending.as_array = true;
      const std::size_t n = in_.pick(8) == 0 ? by.values.size() + 1 : by.values.size();
      descending_array = test::make_array(VT_VARIANT, 1, static_cast<ULONG>(n));
      for (std::size_t i = 0; i < n; ++i) {
        descending.values.push_back(in_.pick(2));
        test::set_element(*descending_array, i, 0,
                          *boolean(descending.values.back() ? VARIANT_TRUE : VARIANT_FALSE));
      }
      descending_arg = *descending_array;
    }
    const bool script = through_invoke();
    trace(depth_, "Sort %s (%s%s, %lu rows by %lu from %ld, %ld), %s, %s%s",
          test::describe(values).c_str(), t.script ? "JScript " : "",
          t.dimensions == 3   ? "3-D"
          : t.dimensions == 2 ? "2-D"
                              : "1-D",
          static_cast<unsigned long>(t.rows), static_cast<unsigned long>(t.columns),
          static_cast<long>(t.row_low), static_cast<long>(t.column_low),
          test::describe(by_arg).c_str(), test::describe(descending_arg).c_str(),
          script ? " (Invoke)" : "");
    Answer a;
    if (script) {
      std::vector<VARIANT> args{values, by_arg, descending_arg};
      while (args.size() > 1 && Model::left_out(args.back()) && in_.pick(2)) args.pop_back();
      a = invoke(id_of(dispid::Sort, dispid::dictionary::Sort), method_flags(), args, 1);
      if (!a.called) {
        check();
        return;
      }
    } else {
      a.status = dictionary_ ? dict_->Sort(values, by_arg, descending_arg, a.result.get())
                             : coll_->Sort(values, by_arg, descending_arg, a.result.get());
    }
    if (!not_array) expect_unchanged(t, array, script_array);
    if (not_array) {
      expect(type_mismatch(a.status), "Sort of no array is not error 13");
      check();
      return;
    }
    const SortPlan plan = plan_sort(t, by, descending, mode_in_model());
    if (plan.refusal.any()) {
      expect(allowed(plan.refusal, a.status), "Sort's error differs from the model");
      expect(a.result->vt == VT_EMPTY, "a refused Sort answered something");
      check();
      return;
    }
    expect(a.status == S_OK, "Sort failed its call");
    const VARIANT& got = *a.result;
    const VARTYPE type = t.script ? static_cast<VARTYPE>(VT_VARIANT) : t.type;
    expect(got.vt == (VT_ARRAY | type) && got.parray &&
               SafeArrayGetDim(got.parray) == static_cast<UINT>(t.dimensions),
           "Sort: another shape or element type");
    LONG low = -9, high = -9;
    SafeArrayGetLBound(got.parray, 1, &low);
    SafeArrayGetUBound(got.parray, 1, &high);
    expect(low == t.row_low && high == t.row_low + static_cast<LONG>(t.rows) - 1,
           "Sort: other row bounds");
    if (t.dimensions == 2) {
      SafeArrayGetLBound(got.parray, 2, &low);
      SafeArrayGetUBound(got.parray, 2, &high);
      expect(low == t.column_low && high == t.column_low + static_cast<LONG>(t.columns) - 1,
             "Sort: other column bounds");
    }
    for (std::size_t r = 0; r < t.rows; ++r)
      for (std::size_t c = 0; c < t.columns; ++c)
        if (!same(*test::element(got, r, c), t.cell(plan.order[r], c)))
          finding("Sort: row " + std::to_string(r) + " column " + std::to_string(c) + " holds " +
                  test::describe(*test::element(got, r, c)) + "; the model " +
                  test::describe(t.cell(plan.order[r], c)));
    check();
  }

  // ---- SortedDictionary ----

  VARIANT dictionary_probe() {
    return in_.pick(3) ? values_.dictionary_key() : values_.plain_key(in_.pick(64) * 8u);
  }

  void dictionary_step(int depth) {
    switch (in_.pick(24)) {
      case 0:
      case 1:
      case 2: dictionary_put(); break;
      case 3:
      case 4: dictionary_add(); break;
      case 5: dictionary_get(); break;
      case 6:
      case 7: dictionary_rename(); break;
      case 8: dictionary_exists(); break;
      case 9:
      case 10: dictionary_remove(); break;
      case 11: compare_mode(); break;
      case 12: dictionary_range(); break;
      case 13: enumerate(); break;
      case 14:
      case 15: positional(); break;
      case 16: dictionary_seek(); break;
      case 17: load(); break;
      case 18: to_array(); break;
      case 19: sort(); break;
      case 20:
        trace(depth, "inject an allocation failure");
        inject_ = true;
        break;
      case 21:
        if (in_.pick(4) == 0)
          drop(depth);
        else
          dictionary_count();
        break;
      case 22: {  // many plain keys at once
        const unsigned k = 1 + in_.pick(64);
        std::uint32_t r = in_.raw<std::uint32_t>() | 1;
        for (unsigned i = 0; i < k && dmodel_.pairs.size() < kMaxKeys && alive(); ++i) {
          r ^= r << 13, r ^= r >> 17, r ^= r << 5;
          dictionary_put(values_.plain_key(r), *long_value(static_cast<LONG>(i)), false, false);
        }
        break;
      }
      default: {
        const VARIANT key = values_.word(), item = values_.any();
        dictionary_put(key, item, false, through_invoke());
      }
    }
  }

  // The status a call that would store `key` ends with for the key alone: none for a key.
  static std::optional<HRESULT> key_refusal(const VARIANT& key) {
    switch (DictionaryModel::check(key)) {
      case DictionaryModel::KeyCheck::nan: return kInvalidArgument;
      case DictionaryModel::KeyCheck::array: return DISP_E_TYPEMISMATCH;
      default: return std::nullopt;
    }
  }
  static bool is(HRESULT got, HRESULT want) {
    return got == want || (type_mismatch(want) && type_mismatch(got));
  }

  void dictionary_put() {
    const VARIANT key = dictionary_probe(), item = values_.any();
    const bool set = in_.pick(2) == 0;
    dictionary_put(key, item, set, through_invoke());
  }

  // d(k) = v or Set d(k) = v: replaces the item, or adds the pair.
  void dictionary_put(const VARIANT& key, const VARIANT& item, bool set, bool script) {
    ++totals.operations, ++ops_;
    trace(depth_, "%sd(%s) = %s%s", set ? "Set " : "", test::describe(key).c_str(),
          test::describe(item).c_str(), script ? " (Invoke)" : "");
    refused_ = false;
    Answer a;
    if (script)
      a = invoke(dispid::dictionary::Item, set ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
                 {key, item}, 2);
    else
      a.status = set ? dict_->putref_Item(key, item) : dict_->put_Item(key, item);
    if (a.called) {
      Variant copy;
      if (const auto refusal = key_refusal(key)) {
        expect(is(a.status, *refusal) || (!copy_of(item, copy) && FAILED(a.status)),
               "d(k) = v of a key it cannot hold: not error 5 or 13");
      } else if (!copy_of(item, copy)) {
        expect(FAILED(a.status), "d(k) = v of a bad item succeeded");
      } else if (refused_) {
        expect(a.status == kOutOfMemory, "d(k) = v without memory is not error 7");
      } else {
        expect(a.status == S_OK, "d(k) = v failed its call");
        if (const auto at = dmodel_.find(key))
          dmodel_.pairs[*at].item = std::move(copy);
        else
          dmodel_.insert(key, *copy);
      }
    }
    check();
  }

  // Add k, v: error 457 for a key present; through Invoke, fewer than two arguments: 450.
  void dictionary_add() {
    ++totals.operations, ++ops_;
    const VARIANT key = dictionary_probe(), item = values_.any();
    const bool script = through_invoke(), short_of_one = script && in_.pick(8) == 0;
    trace(depth_, "Add %s%s%s%s", test::describe(key).c_str(), short_of_one ? "" : ", ",
          short_of_one ? "" : test::describe(item).c_str(), script ? " (Invoke)" : "");
    refused_ = false;
    Answer a;
    if (script) {
      std::vector<VARIANT> args{key, item};
      if (short_of_one) args.pop_back();
      const WORD flags = method_flags();
      a = invoke(dispid::dictionary::Add, flags, args, 2, in_.pick(2) != 0);
    } else {
      a.status = dict_->Add(key, item);
    }
    if (a.called) {
      Variant copy;
      const bool item_ok = copy_of(item, copy);
      if (const auto refusal = key_refusal(key)) {
        expect(is(a.status, *refusal) || (!item_ok && FAILED(a.status)),
               "Add of a key it cannot hold: not error 5 or 13");
      } else if (dmodel_.find(key)) {
        expect(a.status == kKeyExists || (!item_ok && FAILED(a.status)),
               "Add of a key present is not error 457");
      } else if (!item_ok) {
        expect(FAILED(a.status), "Add of a bad item succeeded");
      } else if (refused_) {
        expect(a.status == kOutOfMemory, "Add without memory is not error 7");
      } else {
        expect(a.status == S_OK, "Add failed its call");
        dmodel_.insert(key, *copy);
      }
    }
    check();
  }

  // d(k): the item; a missing key is added with the item Empty.
  void dictionary_get() {
    ++totals.operations, ++ops_;
    const VARIANT key = dictionary_probe();
    const bool script = through_invoke();
    trace(depth_, "d(%s)%s", test::describe(key).c_str(), script ? " (Invoke)" : "");
    refused_ = false;
    Answer a;
    if (script)
      a = invoke(dispid::dictionary::Item, get_flags(), {key}, 1);
    else
      a.status = dict_->get_Item(key, a.result.get());
    if (a.called) {
      if (const auto refusal = key_refusal(key)) {
        expect(is(a.status, *refusal), "d(k) of a key it cannot hold: not error 5 or 13");
      } else if (const auto at = dmodel_.find(key)) {
        expect(a.status == S_OK && same(*a.result, *dmodel_.pairs[*at].item),
               "d(k) differs from the model");
      } else if (refused_) {
        expect(a.status == kOutOfMemory, "d(k) of a new key without memory is not error 7");
      } else {
        expect(a.status == S_OK && a.result->vt == VT_EMPTY, "d(k) of a new key is not Empty");
        dmodel_.insert(key, *Variant());
      }
      if (FAILED(a.status)) expect(a.result->vt == VT_EMPTY, "a failed d(k) left a result");
    }
    check();
  }

  // d.Key(k) = k2.
  void dictionary_rename() {
    ++totals.operations, ++ops_;
    const VARIANT key = in_.pick(3) ? dictionary_probe() : existing_key(),
                  new_key = dictionary_probe();
    const bool script = through_invoke();
    // Where an enumerator stands after its last key is renamed the README does not say: the
    // client lets go of those first.
    if (const auto at = dmodel_.find(key))
      for (std::size_t i = enums_.size(); i-- > 0;)
        if (dmodel_.positions[i].started &&
            dmodel_.cmp(*dmodel_.positions[i].key, *dmodel_.pairs[*at].key) == Order::equal)
          close_enumerator(i);
    trace(depth_, "d.Key(%s) = %s%s", test::describe(key).c_str(), test::describe(new_key).c_str(),
          script ? " (Invoke)" : "");
    refused_ = false;
    Answer a;
    if (script)
      a = invoke(dispid::dictionary::Key, DISPATCH_PROPERTYPUT, {key, new_key}, 2);
    else
      a.status = dict_->put_Key(key, new_key);
    if (a.called) {
      const auto at = dmodel_.find(key);
      const auto refusal = key_refusal(new_key);
      if (!at) {
        // A key that is no key is not found; whether it is refused as a key first is not said.
        const auto own = key_refusal(key);
        expect(a.status == kElementNotFound || (own && is(a.status, *own)) ||
                   (refusal && is(a.status, *refusal)),
               "Key of a missing key is not error 32811");
      } else if (refusal) {
        expect(is(a.status, *refusal), "Key to a key it cannot hold: not error 5 or 13");
      } else if (dmodel_.find(new_key)) {
        expect(a.status == kKeyExists, "Key to a key present is not error 457");
      } else if (refused_) {
        expect(a.status == kOutOfMemory, "Key without memory is not error 7");
      } else {
        expect(a.status == S_OK, "Key failed its call");
        Variant item = std::move(dmodel_.pairs[*at].item);
        dmodel_.erase(*at);
        dmodel_.insert(new_key, *item);
      }
    }
    check();
  }

  // A key the dictionary holds, as a copy of its own (the model may change under it).
  VARIANT existing_key() {
    if (dmodel_.pairs.empty()) return dictionary_probe();
    const VARIANT& k = *dmodel_.pairs[in_.pick(static_cast<unsigned>(dmodel_.pairs.size()))].key;
    kept_keys_.push_back(Variant());
    copy_value(*kept_keys_.back().get(), k);
    return *kept_keys_.back();
  }

  void dictionary_exists() {
    ++totals.operations, ++ops_;
    const VARIANT key = dictionary_probe();
    const bool script = through_invoke();
    trace(depth_, "Exists %s%s", test::describe(key).c_str(), script ? " (Invoke)" : "");
    Answer a;
    if (script) {
      a = invoke(dispid::dictionary::Exists, method_flags(), {key}, 1);
    } else {
      VARIANT_BOOL b = 7;
      a.status = dict_->Exists(key, &b);
      a.result = boolean(b);
    }
    if (a.called)
      expect(a.status == S_OK &&
                 same(*a.result, *boolean(dmodel_.find(key) ? VARIANT_TRUE : VARIANT_FALSE)),
             "Exists differs from the model");
    check();
  }

  // Remove k (error 32811 when missing) or RemoveAll.
  void dictionary_remove() {
    ++totals.operations, ++ops_;
    const bool script = through_invoke(), keep = !script || in_.pick(4) != 0;
    refused_ = false;
    Answer a;
    if (in_.pick(8) == 0) {
      trace(depth_, "RemoveAll%s", script ? " (Invoke)" : "");
      a.status = script ? invoke(dispid::dictionary::RemoveAll, method_flags(), {}, 0, keep).status
                        : dict_->RemoveAll();
      expect(a.status == S_OK, "RemoveAll failed its call");
      dmodel_.remove_all();
    } else {
      const VARIANT key = in_.pick(2) ? dictionary_probe() : existing_key();
      trace(depth_, "Remove %s%s", test::describe(key).c_str(), script ? " (Invoke)" : "");
      if (script)
        a = invoke(dispid::dictionary::Remove, method_flags(), {key}, 1, keep);
      else
        a.status = dict_->Remove(key);
      if (a.called) {
        if (const auto at = dmodel_.find(key)) {
          expect(a.status == S_OK, "Remove failed its call");
          dmodel_.erase(*at);
        } else {
          expect(a.status == kElementNotFound, "Remove of a missing key is not error 32811");
        }
      }
    }
    expect(!refused_, "a removal asked for memory");
    check();
  }

  void dictionary_count() {
    ++totals.operations, ++ops_;
    const bool script = through_invoke();
    trace(depth_, "Count%s", script ? " (Invoke)" : "");
    Answer a;
    if (script) {
      a = invoke(dispid::dictionary::Count, get_flags(), {}, 0);
    } else {
      LONG n = -1;
      a.status = dict_->get_Count(&n);
      a.result = long_value(n);
    }
    expect(
        a.status == S_OK && same(*a.result, *long_value(static_cast<LONG>(dmodel_.pairs.size()))),
        "Count differs from the model");
    check();
  }

  // Keys or Items, with optional bounds.
  void dictionary_range() {
    ++totals.operations, ++ops_;
    VARIANT low = dictionary_probe(), high = dictionary_probe();
    if (in_.pick(2) == 0) low = missing();
    if (in_.pick(2) == 0) high = missing();
    const bool keys = in_.pick(2) != 0, script = through_invoke();
    trace(depth_, "%s %s, %s%s", keys ? "Keys" : "Items", test::describe(low).c_str(),
          test::describe(high).c_str(), script ? " (Invoke)" : "");
    Answer a;
    if (script) {
      std::vector<VARIANT> args{low, high};
      while (!args.empty() && Model::left_out(args.back()) && in_.pick(2)) args.pop_back();
      a = invoke(keys ? dispid::dictionary::Keys : dispid::dictionary::Items, method_flags(), args,
                 0);
    } else {
      a.status =
          keys ? dict_->Keys(low, high, a.result.get()) : dict_->Items(low, high, a.result.get());
    }
    expect(a.status == S_OK, "Keys or Items failed its call");
    const std::vector<std::size_t> want = dmodel_.range(Model::bound(low), Model::bound(high));
    const VARIANT& got = *a.result;
    expect(got.vt == (VT_ARRAY | VT_VARIANT) && got.parray && SafeArrayGetDim(got.parray) == 1,
           "Keys or Items: not an array of Variants");
    LONG first = -1, last = -1;
    SafeArrayGetLBound(got.parray, 1, &first);
    SafeArrayGetUBound(got.parray, 1, &last);
    expect(first == 0 && last + 1 == static_cast<LONG>(want.size()),
           "Keys or Items: another number of values than the model");
    for (std::size_t i = 0; i < want.size(); ++i) {
      const DictionaryModel::Pair& p = dmodel_.pairs[want[i]];
      expect(same(*test::element(got, i), keys ? *p.key : *p.item),
             "Keys or Items: a value differs from the model");
    }
    check();
  }

  // Seek(k, How): the key How chooses, or Empty; another How: error 5.
  void dictionary_seek() {
    ++totals.operations, ++ops_;
    static constexpr LONG kHows[] = {1, 2, 4, 8, 16, 32, 0, 3, 64, -1};
    const VARIANT key = dictionary_probe();
    LONG how = kHows[in_.pick(10)];
    const bool script = through_invoke();
    Answer a;
    if (script) {
      VARIANT mode = test::blank();
      mode.vt = VT_I4, mode.lVal = how;
      std::vector<VARIANT> args{key, mode};
      if (in_.pick(4) == 0) args.pop_back(), how = SEEK_AFTER_EQ;
      trace(depth_, "Seek %s, %ld (Invoke)", test::describe(key).c_str(), static_cast<long>(how));
      a = invoke(dispid::dictionary::Seek, method_flags(), args, 1);
      if (!a.called) {
        check();
        return;
      }
    } else {
      trace(depth_, "Seek %s, %ld", test::describe(key).c_str(), static_cast<long>(how));
      a.status = dict_->Seek(key, static_cast<SEEKMODE>(how), a.result.get());
    }
    if (!Model::seek_mode(how)) {
      expect(a.status == kInvalidArgument && a.result->vt == VT_EMPTY,
             "Seek of another mode is not error 5");
    } else if (const auto at = dmodel_.seek(key, how)) {
      expect(a.status == S_OK && same(*a.result, *dmodel_.pairs[*at].key),
             "Seek's key differs from the model");
    } else {
      expect(a.status == S_OK && a.result->vt == VT_EMPTY,
             "Seek that found nothing answered something");
    }
    check();
  }

  void check_dictionary() {
    const Store& s = store();
    const Report r = verify(s);
    for (const std::string& p : r.problems)
      finding("dictionary invariant: " + p + " (Count " + std::to_string(s.count()) + ")");
    expect(s.count() == static_cast<float>(dmodel_.pairs.size()),
           "the dictionary's Count differs from the model");
    expect(s.compare_mode() == dmodel_.compare_mode, "CompareMode differs from the model");
    const std::vector<std::size_t> order = in_order(s);
    expect(order.size() == dmodel_.pairs.size(), "the dictionary's tree holds another number");
    for (std::size_t i = 0; i < order.size(); ++i) {
      const AVLtree& node = s.table()[order[i]];
      if (!same(node.Data, *dmodel_.pairs[i].key) || !same(node.SubData, *dmodel_.pairs[i].item))
        finding("dictionary pair " + std::to_string(i) + " is " + test::describe(node.Data) + ", " +
                test::describe(node.SubData) + "; the model " +
                test::describe(*dmodel_.pairs[i].key) + ", " +
                test::describe(*dmodel_.pairs[i].item));
    }
  }

  Input in_;
  ValueMaker values_;
  Model model_;
  std::vector<IEnumVARIANT*> enums_;   // beside model_.positions, one for one
  _clsAVLt* obj_ = nullptr;            // the client's reference from CreateInstance
  _clsAVLt3* coll_ = nullptr;          // and from QueryInterface for _clsAVLt3
  ISortedDictionary* dict_ = nullptr;  // or a SortedDictionary's, from CreateInstance
  bool dictionary_ = false;
  DictionaryModel dmodel_;
  const Store* store_ = nullptr;  // behind them, while anything holds the object
  bool dropped_ = false;
  int plan_skip_ = 0, plan_ops_ = 0;  // calls the pump makes, after skipping some pump calls
  int pump_calls_ = 0, nested_runs_ = 0, depth_ = 0;
  std::vector<Shown> shown_;
  bool inject_ = false, refused_ = false;
  std::uint64_t ops_ = 0;
  std::deque<Variant> index_texts_, kept_keys_;  // arguments made for one top-level call
};

}  // namespace

void install_seams() {
  set_message_box_hook([](TextView text, UINT buttons, TextView title) {
    return current ? current->on_box(text, buttons, title) : 1;
  });
  set_event_pump_hook([] {
    if (current) current->on_pump();
  });
  set_table_allocation_hook(
      [](std::size_t bytes) { return current ? current->on_allocation(bytes) : true; });
}

void play(const std::uint8_t* data, std::size_t size) {
  const long strings = live_bstr_count();
  {
    Session s(data, size);
    s.run();
  }
  if (strings >= 0 && live_bstr_count() != strings)
    finding("strings leaked: " + std::to_string(live_bstr_count() - strings));
  ++totals.inputs;
}

}  // namespace quilmar::fuzz
