procedure p2(a varchar2(10)) is
begin
  null
end;