#pragma once

// What a platform layer provides to the contract suite (platform_contract_test.cpp), which holds
// every layer to the same selection rules, window calls, start-up and error numbers.
//
// A layer takes part with a traits type and one entry in platform_contract_backends.h:
//
//   struct MyLayerContract {
//       using Backend = MyLayer;                        // a winsock::Platform
//       static constexpr const char* Name = "MyLayer";  // names the tests:
//       PlatformContract/MyLayer static std::unique_ptr<Backend> Make();         // a new layer,
//       not yet started
//       // Delivers posted window messages until done() holds or the timeout has passed (a layer
//       // that delivers everything at once may return as soon as nothing is left); returns done().
//       static bool RunUntil(Backend&, const std::function<bool()>& done,
//                            std::chrono::milliseconds timeout);
//       // Whether the machine's resolver knows "localhost" both ways.
//       static bool ResolverKnowsLocalhost();
//   };
//
// The suite makes every peer (listeners, the other end of a connection) through the layer under
// test, so it needs nothing but the layer and these few calls.

#include "socket/platform.h"

#include <chrono>
#include <concepts>
#include <functional>
#include <memory>

template <typename T>
concept PlatformContractTraits = requires(typename T::Backend& backend,
                                          const std::function<bool()>& done,
                                          std::chrono::milliseconds timeout) {
    requires std::derived_from<typename T::Backend, winsock::Platform>;
    { T::Name } -> std::convertible_to<const char*>;
    { T::Make() } -> std::same_as<std::unique_ptr<typename T::Backend>>;
    { T::RunUntil(backend, done, timeout) } -> std::same_as<bool>;
    { T::ResolverKnowsLocalhost() } -> std::same_as<bool>;
};
