// The text form in which a form's components are stored:
//
//   object Form1: TMyForm
//     object Source: TQO_DataSource
//       Dataset = Rows
//     end
//     object NextAction: TQO_ActionNext
//       Caption = 'Next'
//       DataSource = Source
//       ReceiveFocus = False
//     end
//   end
//
// One block per component: the root first, holding one block per component it owns (an
// unnamed one is headed "object TClass"). Property values are True or False, decimal
// integers, quoted texts ('It''s', control characters as #10), or names: a component of
// the root (or the root itself) for references, a method of the root's method table for
// event handlers.
#pragma once

#include <string>
#include <string_view>

#include "framework/Component.h"
#include "framework/Properties.h"

/// The text form of Root and the components it owns, with their stored properties. Raises
/// EComponentError for a reference to a component outside Root, or a handler that is not
/// a method of Root's method table bound to Root.
std::string WriteComponentText(TComponent& Root);

/// Reads a text form into Root: sets Root's name and stored properties, creates each owned
/// component through Classes with Root as owner, sets its name and stored properties,
/// resolves references and handlers once all components exist, and then runs Loaded on
/// the created components in order and on Root. On a failure before Loaded, the created
/// components are destroyed and EComponentError (or the setter's error) passes on with
/// the line number.
void ReadComponentText(TComponent& Root, std::string_view Text, const TComponentClasses& Classes);
