#pragma once
// Builds the product's engine for every stage, bound to the given context.
namespace zor {

class RunContext;

void BindStageEngines(RunContext& context);

}  // namespace zor
