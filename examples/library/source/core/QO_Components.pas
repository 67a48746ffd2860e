unit QO_Components;

interface

implementation

end.
