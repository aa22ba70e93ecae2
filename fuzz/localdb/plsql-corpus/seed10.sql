package body pk2 is
end;