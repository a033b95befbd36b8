#pragma once
// EvaluateXPath of the quick browser's page object, from the calling thread:
// the evaluation objects are made here, the expression is evaluated against
// the page's document on the renderer thread (RunOnRendererThread, waiting
// for it), and when that fails the renderer thread's COM error information
// is taken there and set again on this thread before the failure returns.
// Everything made for the call is gone before it returns.
#include <windows.h>
#include <oleauto.h>

class CCrRawBrowserHelper;

// helper: the page's accessor (a counted reference is held for the call);
// expression: null gives E_INVALIDARG; value: cleared first, set on success.
HRESULT EvaluateXPathOnRendererThread(CCrRawBrowserHelper* helper, BSTR expression, BSTR monikerPrefix, VARIANT* value);
