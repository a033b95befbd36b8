#pragma once
// The attribute map of the element a string-id evaluator is naming, shared
// by the id and the name fallback of that one evaluation and given back
// when it ends (the next evaluation reads the page again).
#include <utility>

#include "quickbrowser/accessor/ElementAttributes.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"

class CCrFwEvaluationAttributes
{
public:
    // Runs `evaluate` with the attributes of `element` (borrowed) open.
    template <class Evaluate>
    HRESULT With(CCrRawBrowserHelper* helper, NodeImpl* element, Evaluate&& evaluate)
    {
        CCrElementAttributes attributes(helper, element);
        Open open(current_, &attributes);
        return evaluate();
    }
    // The open attributes when they are those of `element`, null otherwise.
    CCrElementAttributes* For(NodeImpl* element) const
    {
        return current_ && current_->Element() == element ? current_ : nullptr;
    }
    // The id and name with their attribute fallback, through the open
    // attributes when they are those of `element`.
    HRESULT IdWithFallback(CCrRawBrowserHelper* helper, NodeImpl* element, BSTR* id) const;
    HRESULT NameWithFallback(CCrRawBrowserHelper* helper, NodeImpl* element, BSTR* name) const;

private:
    class Open
    {
    public:
        Open(CCrElementAttributes*& slot, CCrElementAttributes* attributes)
            : slot_(slot), outer_(std::exchange(slot, attributes))
        {
        }
        ~Open() { slot_ = outer_; }
        Open(const Open&) = delete;
        Open& operator=(const Open&) = delete;

    private:
        CCrElementAttributes*& slot_;
        CCrElementAttributes* outer_;
    };

    CCrElementAttributes* current_ = nullptr;
};

inline HRESULT CCrFwEvaluationAttributes::IdWithFallback(CCrRawBrowserHelper* helper, NodeImpl* element, BSTR* id) const
{
    CCrElementAttributes* open = For(element);
    return open ? helper->GetElementIdWithFallback(*open, id) : helper->GetIdWithFallback(element, id);
}

inline HRESULT CCrFwEvaluationAttributes::NameWithFallback(CCrRawBrowserHelper* helper, NodeImpl* element,
                                                           BSTR* name) const
{
    CCrElementAttributes* open = For(element);
    return open ? helper->GetElementNameWithFallback(*open, name) : helper->GetNameWithFallback(element, name);
}
