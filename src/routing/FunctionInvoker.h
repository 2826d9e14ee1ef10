// FunctionInvoker: how the dispatcher calls the handler of a routed
// function without knowing its C++ signature.
//
// The router creates one invoker per registered function and keeps it in
// the route binding. The dispatcher calls, in this order: Prepare (which
// may refuse the call through the call result), Invoke with the bound
// arguments, and after the response is written, Release with Prepare's
// state. MemberInvoker is the typed invoker over a handler object and one of
// its member functions: it converts each bound argument to the parameter's
// type, calls the member and moves its value or Reply into the call result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingFunctions.h"
#include "binding/BindingRegistry.h"
#include "binding/NativeCodec.h"
#include "binding/StaticType.h"
#include "routing/CallResult.h"
#include "routing/Reply.h"
#include "routing/RouteTypes.h"

namespace Corvan {

// The request details a handler that takes the transport request receives.
struct HttpBaseTransport {
  struct Request {
    ConnectionId callerId = 0;
    std::uint64_t ticks = 0;  // the high-resolution counter when the call came in
    const BindingRegistry* registry = nullptr;
    std::string_view path;
    HttpMethod method = HttpMethod::None;
    std::string_view customMethod;
    std::vector<std::pair<std::string_view, std::string_view>> headers;
  };
};
// The same details, for handlers reached through a remoting channel.
struct RemotingRequest : HttpBaseTransport::Request {};

}  // namespace Corvan

KYN_TYPE_TEXT(Corvan::HttpBaseTransport::Request, "struct Corvan::HttpBaseTransport::Request")
KYN_TYPE_TEXT(Corvan::RemotingRequest, "struct Corvan::RemotingRequest")

namespace Corvan {

class FunctionInvoker {
 public:
  // Called before Invoke; reports a refusal into `call`. The returned state
  // goes to Invoke and Release (0 for none).
  virtual std::uintptr_t Prepare(std::vector<BindingProperty>& arguments, CallResult& call,
                                 ConnectionId callerId) = 0;
  // Calls the handler and puts its answer into `call`. `transport` is null
  // unless RequestType names a transport request.
  virtual void Invoke(std::vector<BindingProperty>& arguments,
                      const HttpBaseTransport::Request* transport, std::uintptr_t state,
                      ConnectionId callerId, CallResult& call) = 0;
  // Frees Prepare's state.
  virtual void Release(std::uintptr_t state) = 0;
  // The object whose member is called.
  virtual void* Handler() const = 0;
  // The identity of the request parameter the handler takes, or the
  // no-type identity.
  virtual const TypeIdentity& RequestType() const = 0;
  virtual ~FunctionInvoker() = default;
};

// What the router needs to know about a handler member function.
template <class Method>
struct MemberFunction;

template <class Owner, class R, class... Args>
struct MemberFunction<R (Owner::*)(Args...)> {
  using Result = R;
  using Values = std::tuple<std::decay_t<Args>...>;
  static constexpr std::size_t kArity = sizeof...(Args);
};
template <class Owner, class R, class... Args>
struct MemberFunction<R (Owner::*)(Args...) const> : MemberFunction<R (Owner::*)(Args...)> {};

namespace InvokerDetail {

// The value type a handler's result carries: T of Reply<T>, void for none.
template <class R>
struct AnswerType {
  using Type = R;
};
template <class T>
struct AnswerType<Reply<T>> {
  using Type = T;
};

template <class T>
BindingTypeRef ResultTypeRef(const BindingRegistry* registry) {
  if constexpr (std::is_void_v<T>) {
    return {};
  } else {
    return TypeRefFor<T>(registry);
  }
}

// The converted answer failed: the value cannot go out to the host.
inline constexpr std::uint32_t kUnconvertibleResultStatus = 400;

template <class T>
void StoreValue(CallResult& call, const T& value, const BindingRegistry* registry) {
  if (!ConvertNative(call.result, value, registry)) {
    call.details.statusCode = kUnconvertibleResultStatus;
  }
}

template <class R>
void StoreAnswer(CallResult& call, R&& answer, const BindingRegistry* registry) {
  using Plain = std::decay_t<R>;
  if constexpr (std::is_base_of_v<ReplyBase, Plain>) {
    // Only the details and the error move; the value stays in the reply.
    const bool failed = answer.failed();
    std::move(answer).MoveInto(call);
    if constexpr (!std::is_same_v<Plain, EmptyReply> && !std::is_same_v<Plain, ErrorResult>) {
      if (!failed && answer.value() != nullptr) StoreValue(call, *answer.value(), registry);
    }
  } else {
    StoreValue(call, answer, registry);
  }
}

}  // namespace InvokerDetail

namespace InvokerDetail {

template <class Parameter>
void DescribeArgument(BindingFunctionDescriptor& function, const BindingRegistry* registry) {
  BindingArgumentDescriptor& argument = function.arguments.emplace_back();
  argument.nativeType = StaticType::HashCode<Parameter>();
  argument.declared = TypeRefFor<Parameter>(registry);
}

// A plain function rather than a template lambda: clang 14 crashes on a
// template lambda folded over an empty pack.
template <class Values, std::size_t... I>
void DescribeArguments([[maybe_unused]] BindingFunctionDescriptor& function,
                       [[maybe_unused]] const BindingRegistry* registry,
                       std::index_sequence<I...>) {
  (DescribeArgument<std::tuple_element_t<I, Values>>(function, registry), ...);
}

}  // namespace InvokerDetail

// The declared argument types and result type of a handler member, for the
// function record registered for it.
template <class Method>
void DescribeHandler(BindingFunctionDescriptor& function, const BindingRegistry* registry) {
  using Traits = MemberFunction<Method>;
  using Answer = typename InvokerDetail::AnswerType<typename Traits::Result>::Type;
  InvokerDetail::DescribeArguments<typename Traits::Values>(
      function, registry, std::make_index_sequence<Traits::kArity>{});
  function.result = InvokerDetail::ResultTypeRef<Answer>(registry);
}

template <class Object, class Method>
class MemberInvoker final : public FunctionInvoker {
 public:
  MemberInvoker(Object* handler, Method method, const BindingFunctionDescriptor* function,
                const BindingRegistry* registry)
      : handler_(handler), method_(method), function_(function), registry_(registry) {}

  std::uintptr_t Prepare(std::vector<BindingProperty>&, CallResult&, ConnectionId) override {
    return reinterpret_cast<std::uintptr_t>(new std::uint8_t(1));
  }

  void Invoke(std::vector<BindingProperty>& arguments, const HttpBaseTransport::Request*,
              std::uintptr_t, ConnectionId, CallResult& call) override {
    typename MemberFunction<Method>::Values values;
    if (!AssignAll(arguments, values, call,
                   std::make_index_sequence<MemberFunction<Method>::kArity>{})) {
      return;
    }
    using Result = typename MemberFunction<Method>::Result;
    auto callHandler = [this](auto&... parameters) -> Result {
      return (handler_->*method_)(std::move(parameters)...);
    };
    if constexpr (std::is_void_v<Result>) {
      std::apply(callHandler, values);
    } else {
      InvokerDetail::StoreAnswer(call, std::apply(callHandler, values), registry_);
    }
  }

  void Release(std::uintptr_t state) override { delete reinterpret_cast<std::uint8_t*>(state); }
  void* Handler() const override { return handler_; }
  const TypeIdentity& RequestType() const override { return StaticType::NoType(); }

 private:
  template <std::size_t... I>
  bool AssignAll(std::vector<BindingProperty>& arguments,
                 typename MemberFunction<Method>::Values& values, CallResult& call,
                 std::index_sequence<I...>) {
    return (AssignOne(arguments, std::get<I>(values), I, call) && ...);
  }

  template <class T>
  bool AssignOne(std::vector<BindingProperty>& arguments, T& value, std::size_t index,
                 CallResult& call) {
    const BindingProperty& input =
        index < arguments.size() ? arguments[index] : BindingProperty::EmptyValue();
    const bool named = index < function_->arguments.size() && call.bodyArgument != index;
    const char* name = named ? function_->arguments[index].name.c_str() : kWholeValueName;
    return AssignNative(call.result, value, input, name, registry_);
  }

  Object* handler_;
  Method method_;
  const BindingFunctionDescriptor* function_;
  const BindingRegistry* registry_;
};

}  // namespace Corvan
