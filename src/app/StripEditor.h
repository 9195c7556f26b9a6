#pragma once

#include "app/EditorContext.h"

namespace vantrel {

class StripEditor {
public:
    explicit StripEditor(EditorContext& context) : m_ctx(context) {}
    void Register(HandlerTable& table);

private:
    EditorContext& m_ctx;
};

}  // namespace vantrel
