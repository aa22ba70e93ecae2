procedure p3 is
begin
  if 1 then null; end if;
  p1(1);
end;